#pragma once

// Helpers of the engine benchmarks: memory of a process tree, and letting
// the event loop run for a while.
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QList>
#include <QTimer>
#include <cstdlib>
#include <string>

// The summed proportional set size (PSS, in KiB) of a process and all its
// descendants, from /proc.
inline qint64 treePssKiB(qint64 root) {
  QHash<qint64, QList<qint64>> children;
  for (const QString& name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
    bool ok = false;
    const qint64 pid = name.toLongLong(&ok);
    if (!ok) continue;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) continue;
    const QByteArray s = stat.readAll();
    const qsizetype close = s.lastIndexOf(')');
    const QList<QByteArray> rest = s.mid(close + 2).split(' ');
    if (rest.size() > 1) children[rest[1].toLongLong()].append(pid);
  }
  qint64 total = 0;
  QList<qint64> todo{root};
  while (!todo.isEmpty()) {
    const qint64 pid = todo.takeLast();
    todo += children.value(pid);
    QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!rollup.open(QIODevice::ReadOnly)) continue;
    for (const QByteArray& line : rollup.readAll().split('\n'))
      if (line.startsWith("Pss:")) total += line.mid(4).trimmed().split(' ').first().toLongLong();
  }
  return total;
}

// Runs the event loop for `ms` milliseconds.
inline void settle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// What WebEngine needs before the application object exists: shared GL
// contexts, and no sandbox when run as root (Chromium refuses it then).
inline void prepareWebEngine() {
  if (geteuid() == 0) {
    const std::string flags = getenv("QTWEBENGINE_CHROMIUM_FLAGS") ? getenv("QTWEBENGINE_CHROMIUM_FLAGS") : "";
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", (flags + " --no-sandbox").c_str(), 1);
  }
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}
