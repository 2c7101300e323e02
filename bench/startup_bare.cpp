// The yardstick for start-up: a bare Qt main window with a menu bar.
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow w;
  w.setWindowTitle(QStringLiteral("bare"));
  w.menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
  w.resize(960, 768);
  w.show();
  return app.exec();
}
