// Program entry: environment for the engines, the application object, the
// four start-up forms, then the message loop until the frame closes.
#include <unistd.h>

#include <QDir>
#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "app/app_path.h"
#include "app/forms.h"
#include "app/main_form.h"
#include "engine/engine_language.h"
#include "launch/launch_rules.h"
#include "launch/single_instance.h"
#include "platform/guarded.h"
#include "platform/zelvo_application.h"

namespace {

void prepareEnvironment() {
  // Embedding the out-of-process engine's window needs X11 on both sides.
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  setenv("GDK_BACKEND", "x11", 1);
  // Without it the MDI frames stop repainting once a native child exists
  // beside the OpenGL-drawn web views.
  setenv("QT_WIDGETS_RHI", "1", 1);
  // Chromium's own texts (error pages, built-in dialogs) follow the UI's
  // language, not the system's locale, which the frame keeps for itself.
  {
    const char* old = getenv("QTWEBENGINE_CHROMIUM_FLAGS");
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", engine_language::chromiumFlags(old ? old : "").c_str(), 1);
  }
  if (geteuid() == 0) {
    // Chromium refuses its sandbox as root.
    const char* old = getenv("QTWEBENGINE_CHROMIUM_FLAGS");
    std::string flags = old ? old : "";
    if (flags.find("--no-sandbox") == std::string::npos) {
      flags += flags.empty() ? "--no-sandbox" : " --no-sandbox";
      setenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.c_str(), 1);
      std::fputs("zelvo: running as root, Qt WebEngine's sandbox is off (--no-sandbox)\n", stderr);
    }
    // The WebKit host leaves its sandbox off as root, too.
    std::fputs("zelvo: running as root, WebKit's sandbox is off\n", stderr);
  }
  // A full disk or a file-size limit must fail the write, not end the program.
  std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace

int main(int argc, char** argv) {
  prepareEnvironment();
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  // The arguments are addresses and files to open, never options: only the
  // program name reaches Qt so that no argument is read as a Qt option.
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const QStringList addresses = launch::addressesFromArguments(arguments, QDir::currentPath());
  int qtArgc = 1;
  ZelvoApplication app(qtArgc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Zelvo"));

  // Addresses go to the user's running frame when there is one; this start
  // then ends without showing anything. A start without addresses opens its
  // own frame as ever.
  const QString socket = launch::socketPath();
  if (!addresses.isEmpty() && launch::handOver(addresses, socket)) return 0;
  auto* instance = new launch::InstanceServer(&app);
  if (!instance->listen(socket) && !addresses.isEmpty() && launch::handOver(addresses, socket)) return 0;
  // Addresses handed over while the frame is still being made wait for it.
  QStringList waiting = addresses;
  QObject::connect(instance, &launch::InstanceServer::addressesReceived, &app, [&waiting](const QStringList& handed) {
    if (MainForm)
      guarded::run([&] { MainForm->OpenHandedAddresses(handed); });
    else
      waiting += handed;
  });
  app.setWindowIcon(QIcon(QStringLiteral(":/icons/zelvo-256.png")));
  // An installed program keeps bookmark.xml in the user's data folder.
  guarded::run([] { enterUserDataFolder(); });

  // The forms are designed in this font; IPAPGothic has its metrics.
  QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
  QFont uiFont(QStringLiteral("ＭＳ Ｐゴシック"));
  uiFont.setPointSize(9);
  QApplication::setFont(uiFont);

  QTranslator qtJapanese;
  if (qtJapanese.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(&qtJapanese);

  CreateForms();
  if (!waiting.isEmpty())
    QTimer::singleShot(0, MainForm, [waiting] { guarded::run([&] { MainForm->OpenHandedAddresses(waiting); }); });
  QObject::connect(MainForm, &TMainForm::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
  const int rc = app.exec();
  DestroyForms();
  return rc;
}
