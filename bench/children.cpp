// Zelvo's browser windows, measured through the frame:
//   children ie|gecko time URL     ms from OpenChild to the end of the load,
//                                  for the first window and a later one
//   children ie|gecko memory URL   PSS of the whole process tree with 1 and
//                                  with 5 windows of that kind open; the
//                                  frame's own, and its engine libraries'
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app/app_path.h"
#include "app/forms.h"
#include "app/main_form.h"
#include "bench_support.h"
#include "browser/browser_child.h"
#include "engine/engine_control.h"
#include "engine/webkit/webkit_control.h"

namespace {

// Waits until the window's load ended (the bar's pairs end with the
// engine no longer busy and a title shown).
bool waitLoaded(TBrowserChild* c, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < timeoutMs) {
    if (!c->windowTitle().isEmpty() && !c->Control()->Busy()) return true;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: children ie|gecko time|memory URL\n");
    return 2;
  }
  setenv("QT_WIDGETS_RHI", "1", 1);
  prepareWebEngine();
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  const bool ie = QByteArray(argv[1]) == "ie";
  const bool memory = QByteArray(argv[2]) == "memory";
  const QString url = QString::fromLocal8Bit(argv[3]);

  QTemporaryDir dir;
  {
    QFile ini(dir.filePath(QStringLiteral("config.ini")));
    if (ini.open(QIODevice::WriteOnly)) ini.write("[General]\nLastEngine=IE\n[Option_Main]\nMozilla=1\n");
  }
  setProgramFolderForTests(dir.path());
  QDir::setCurrent(dir.path());
  const QString host = QCoreApplication::applicationDirPath() + QStringLiteral("/../zelvo-webkit-host");
  if (QFile::exists(host)) TMozillaBrowser::setHostProgramForTests(host);
  CreateForms();
  MainForm->resize(1000, 750);
  (ie ? MainForm->IE_item : MainForm->Moz_Item)->trigger();
  settle(300);  // the frame shown; then readied in the background as the program does

  auto open = [&] {
    MainForm->OpenChild(QString(), url);
    return MainForm->ActiveMDIChild();
  };
  int rc = 0;
  if (!memory) {
    // From the user's request, the frame having been idle for a second:
    // the first window of the kind, then a later one.
    settle(1000);
    double figures[2] = {0, 0};
    for (double& ms : figures) {
      QElapsedTimer t;
      t.start();
      TBrowserChild* c = open();
      if (!waitLoaded(c, 60000)) {
        rc = 1;
        break;
      }
      ms = t.nsecsElapsed() / 1e6;
      settle(500);
    }
    if (rc == 0) std::printf("%.1f %.1f\n", figures[0], figures[1]);
  } else {
    TBrowserChild* first = open();
    waitLoaded(first, 60000);
    settle(2000);
    const pid_t self = getpid();
    const long long one = treePssKiB(self);
    // The frame's own share with one window, and what of it the engine
    // libraries of Qt WebEngine and the GL driver take.
    const long long frame = mappedPssKiB(self);
    const long long webEngine = mappedPssKiB(self, {"libQt6WebEngine", "libQt6Quick", "libQt6Qml", "libQt6WebChannel",
                                                    "libQt6Positioning", "libnss3", "libQt6Pdf"});
    const long long gl = mappedPssKiB(self, {"libLLVM", "_dri.so", "libgallium", "libGLX_mesa", "libglapi"});
    for (int i = 0; i < 4; ++i) waitLoaded(open(), 60000);
    settle(2000);
    std::printf("%lld %lld %lld %lld %lld\n", one, treePssKiB(self), frame, webEngine, gl);
  }
  std::fflush(stdout);
  DestroyForms();
  return rc;
}
