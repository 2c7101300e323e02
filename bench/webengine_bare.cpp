// The yardstick for a WebEngine window: a bare QWebEngineView.
//   webengine_bare time URL     ms from creating the view to the end of the load
//   webengine_bare memory URL   PSS of the process tree with 1 and with 5 views
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWebEngineView>
#include <cstdio>
#include <cstdlib>

#include "bench_support.h"

namespace {
void loadAndWait(QWebEngineView* v, const QUrl& url) {
  QEventLoop loop;
  QObject::connect(v, &QWebEngineView::loadFinished, &loop, &QEventLoop::quit);
  QTimer::singleShot(60000, &loop, &QEventLoop::quit);
  v->load(url);
  v->show();
  loop.exec();
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: webengine_bare time|memory URL\n");
    return 2;
  }
  prepareWebEngine();
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  const QUrl url(QString::fromLocal8Bit(argv[2]));
  settle(300);
  if (QByteArray(argv[1]) == "time") {
    QElapsedTimer t;
    t.start();
    auto* v = new QWebEngineView;
    v->resize(750, 560);
    loadAndWait(v, url);
    std::printf("%.1f\n", t.nsecsElapsed() / 1e6);
    delete v;
  } else {
    QList<QWebEngineView*> views;
    for (int i = 0; i < 5; ++i) {
      views << new QWebEngineView;
      views.last()->resize(750, 560);
      loadAndWait(views.last(), url);
      if (i == 0 || i == 4) {
        settle(2000);
        std::printf(i == 0 ? "%lld " : "%lld\n",
                    static_cast<long long>(treePssKiB(QCoreApplication::applicationPid())));
      }
    }
    qDeleteAll(views);
  }
  return 0;
}
