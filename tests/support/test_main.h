#pragma once

// main() for tests that show the frame or an engine: the same environment
// the program sets for itself before its application object exists.
#include <unistd.h>

#include <QApplication>
#include <QFont>
#include <QTest>
#include <csignal>
#include <cstdlib>
#include <string>

#include "engine/engine_language.h"

inline void zelvoTestEnvironment() {
  setenv("QT_QPA_PLATFORM", "xcb", 0);
  setenv("GDK_BACKEND", "x11", 1);
  setenv("QT_WIDGETS_RHI", "1", 1);
  std::string flags = getenv("QTWEBENGINE_CHROMIUM_FLAGS") ? getenv("QTWEBENGINE_CHROMIUM_FLAGS") : "";
  if (flags.find("--disable-gpu") == std::string::npos) flags += " --disable-gpu";
  if (geteuid() == 0 && flags.find("--no-sandbox") == std::string::npos) flags += " --no-sandbox";
  flags = engine_language::chromiumFlags(flags);
  setenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.c_str(), 1);
  std::signal(SIGXFSZ, SIG_IGN);
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

#define ZELVO_TEST_MAIN(TestClass)                                                              \
  int main(int argc, char** argv) {                                                             \
    zelvoTestEnvironment();                                                                     \
    QApplication app(argc, argv);                                                               \
    QCoreApplication::setApplicationName(QStringLiteral("Zelvo"));                              \
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic")); \
    QApplication::setFont(QFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));                         \
    TestClass tc;                                                                               \
    QTEST_SET_MAIN_SOURCE_PATH                                                                  \
    return QTest::qExec(&tc, argc, argv);                                                       \
  }
