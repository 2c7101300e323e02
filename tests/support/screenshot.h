#pragma once

// A screenshot of the test's display (or a `crop` of it, "WxH+X+Y") into the
// folder ZELVO_SHOTS_DIR names; nothing when it names none. For looking at
// what a test showed, never for checking it.
#include <QProcess>
#include <QStringList>
#include <QTest>

inline void screenshot(const QString& name, const QString& crop = {}) {
  const QString dir = qEnvironmentVariable("ZELVO_SHOTS_DIR");
  if (dir.isEmpty()) return;
  QTest::qWait(600);
  QStringList args{QStringLiteral("-window"), QStringLiteral("root")};
  if (!crop.isEmpty()) args << QStringLiteral("-crop") << crop << QStringLiteral("+repage");
  QProcess::execute(QStringLiteral("import"), args << dir + u'/' + name);
}
