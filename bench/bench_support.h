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

#include "bench_pss.h"

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
