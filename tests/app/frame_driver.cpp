// The program's forms over a folder given on the command line (config.ini
// and bookmark.xml live there), for tests that drive the program from
// outside as a user would: over AT-SPI, or with X key events. Error boxes
// are printed instead of shown. ZELVO_TEST_PALETTE=dark gives the program
// a dark palette, as a dark desktop theme would.
#include <QDir>
#include <QPalette>
#include <QStyleFactory>
#include <cstdio>

#include "app/app_path.h"
#include "app/forms.h"
#include "app/main_form.h"
#include "platform/guarded.h"
#include "test_main.h"

namespace {
QPalette darkPalette() {
  QPalette p;
  const QColor window(45, 45, 48), base(30, 30, 30), text(230, 230, 230), disabled(130, 130, 130);
  p.setColor(QPalette::Window, window);
  p.setColor(QPalette::WindowText, text);
  p.setColor(QPalette::Base, base);
  p.setColor(QPalette::AlternateBase, window);
  p.setColor(QPalette::Text, text);
  p.setColor(QPalette::Button, window);
  p.setColor(QPalette::ButtonText, text);
  p.setColor(QPalette::Highlight, QColor(38, 79, 120));
  p.setColor(QPalette::HighlightedText, Qt::white);
  p.setColor(QPalette::ToolTipBase, base);
  p.setColor(QPalette::ToolTipText, text);
  p.setColor(QPalette::Light, QColor(75, 75, 80));
  p.setColor(QPalette::Midlight, QColor(60, 60, 64));
  p.setColor(QPalette::Mid, QColor(35, 35, 38));
  p.setColor(QPalette::Dark, QColor(20, 20, 22));
  p.setColor(QPalette::Shadow, Qt::black);
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(QPalette::Disabled, role, disabled);
  return p;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: frame_driver FOLDER\n", stderr);
    return 2;
  }
  zelvoTestEnvironment();
  QApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Zelvo"));
  QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
  QApplication::setFont(QFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));
  if (qEnvironmentVariable("ZELVO_TEST_PALETTE") == QLatin1String("dark")) {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(darkPalette());
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  setProgramFolderForTests(folder);
  QDir::setCurrent(folder);
  guarded::setReporter([](const QString& text) { std::fprintf(stderr, "error box: %s\n", qPrintable(text)); });
  CreateForms();
  QObject::connect(MainForm, &TMainForm::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
  std::fputs("frame_driver: ready\n", stdout);
  std::fflush(stdout);
  const int rc = app.exec();
  DestroyForms();
  return rc;
}
