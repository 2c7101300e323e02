// History of 100 000 visits (20 000 pages on 1 000 sites, over 90 days):
// recording one more visit until it is written, the address box's list for
// one to three typed letters, and opening the history window. Medians of
// 21 runs each, beside the goals.
#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "history/address_completer.h"
#include "history/history_store.h"
#include "history/history_window.h"

namespace {

const char* const kSyllables[] = {"ka", "to", "mi", "ne", "ra", "su", "yo", "shi", "ha", "no", "ri", "ku",
                                  "se", "ta", "mo", "na", "fu", "ze", "po", "da",  "gi", "be", "ho", "wa"};
const char* const kWords[] = {"ニュース", "天気", "京都",  "東京",   "旅行",     "レシピ",  "Qt",           "Linux",
                              "blog",     "wiki", "shop",  "manual", "download", "release", "ドキュメント", "地図",
                              "写真",     "動画", "books", "music",  "travel",   "news",    "forum",        "検索"};

QString site(QRandomGenerator& r) {
  QString s;
  const int n = 2 + int(r.bounded(3));
  for (int i = 0; i < n; ++i) s += QLatin1String(kSyllables[r.bounded(int(std::size(kSyllables)))]);
  static const char* const tlds[] = {".com", ".jp", ".org", ".net", ".co.jp"};
  return s + QLatin1String(tlds[r.bounded(5)]);
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void report(const char* what, const std::function<void()>& run, double goal) {
  std::vector<double> ms;
  for (int i = 0; i < 21; ++i) {
    QElapsedTimer t;
    t.start();
    run();
    ms.push_back(double(t.nsecsElapsed()) / 1e6);
  }
  const double m = median(ms);
  std::printf("%-40s min %7.2f  median %7.2f  max %7.2f ms  (goal %.0f ms) %s\n", what,
              *std::min_element(ms.begin(), ms.end()), m, *std::max_element(ms.begin(), ms.end()), goal,
              m <= goal ? "ok" : "OVER");
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QTemporaryDir dir;
  history::Store store(dir.path());
  while (!store.isReady()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);

  QRandomGenerator r(21);
  std::vector<QString> sites;
  for (int i = 0; i < 1000; ++i) sites.push_back(site(r));
  struct Page {
    QString url, title;
  };
  std::vector<Page> pages;
  for (int i = 0; i < 20000; ++i) {
    const QString host = sites[r.bounded(int(sites.size()))];
    QString title;
    for (int w = 0, n = 2 + int(r.bounded(4)); w < n; ++w)
      title += QString::fromUtf8(kWords[r.bounded(int(std::size(kWords)))]) + u' ';
    pages.push_back({QStringLiteral("https://www.%1/p/%2.html").arg(host).arg(i), title.trimmed()});
  }
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  QElapsedTimer seed;
  seed.start();
  for (int i = 0; i < 100000; ++i) {
    // A few pages are visited far more often than the rest.
    const int p = int(std::pow(r.generateDouble(), 3) * double(pages.size()));
    store.recordVisit(pages[p].url, pages[p].title, now - qint64(r.bounded(90 * 24 * 3600)) * 1000);
  }
  store.waitWritten();
  std::printf("seeded 100000 visits of %d pages in %.1f s\n", int(store.recent(100000).size()),
              double(seed.elapsed()) / 1000);

  int n = 0;
  report(
      "record one visit (until written)",
      [&] {
        store.recordVisit(QStringLiteral("https://bench.example.jp/%1").arg(n++), QStringLiteral("計測 %1").arg(n),
                          QDateTime::currentMSecsSinceEpoch());
        store.waitWritten();
      },
      50);

  QLineEdit edit;
  edit.resize(600, 24);
  edit.show();
  history::TAddressCompleter completer(&edit, &store);
  for (const char* typed : {"k", "ka", "kat", "天", "天気", "n", "ne", "new"}) {
    edit.setText(QString::fromUtf8(typed));
    const QByteArray what = "completion list for \"" + QByteArray(typed) + "\"";
    report(
        what.constData(),
        [&] {
          completer.refresh();
          if (completer.offered().isEmpty()) std::printf("  (nothing offered)\n");
        },
        50);
  }
  completer.hide();

  report(
      "open the history window",
      [&] {
        auto* w = new history::THistoryWindow(&store, nullptr);
        w->Reload();
        w->show();
        QCoreApplication::processEvents();
        w->tvHistory->viewport()->repaint();
        delete w;
      },
      300);
  return 0;
}
