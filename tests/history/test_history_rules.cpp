// The history's plain rules: what is recorded, how a page is found from
// what is typed, how the address box's list is ordered and marked, and the
// day headings and clearing ranges of the history window.
#include <QTest>

#include "history/history_rules.h"

using namespace history;

namespace {
constexpr qint64 kDay = 24LL * 3600 * 1000;
constexpr qint64 kNow = 1'800'000'000'000LL;

QStringList urls(const QList<Candidate>& list) {
  QStringList out;
  for (const Candidate& c : list) out << c.url;
  return out;
}
}  // namespace

class TestHistoryRules : public QObject {
  Q_OBJECT
 private slots:
  void recordedPages_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("recorded");
    QTest::newRow("http") << "http://example.com/" << true;
    QTest::newRow("https") << "https://例え.jp/ページ" << true;
    QTest::newRow("file") << "file:///home/u/a.html" << true;
    QTest::newRow("blank") << "about:blank" << false;
    QTest::newRow("data") << "data:text/html,<p>x" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("javascript") << "javascript:alert(1)" << false;
  }
  void recordedPages() {
    QFETCH(QString, url);
    QFETCH(bool, recorded);
    QCOMPARE(recordable(url), recorded);
  }

  void addressesAndWords() {
    QCOMPARE(bareAddress(QStringLiteral("https://www.Example.com/A")), QStringLiteral("example.com/a"));
    QCOMPARE(bareAddress(QStringLiteral("http://wwwx.org/")), QStringLiteral("wwwx.org/"));
    QCOMPARE(bareAddress(QStringLiteral("file:///tmp/a.html")), QStringLiteral("/tmp/a.html"));
    // Words split at spaces, punctuation and where the script changes.
    QCOMPARE(titleWords(QStringLiteral("Qt Documentation - 京都の天気予報")),
             (QStringList{"qt", "documentation", "京都", "の", "天気予報"}));
    QCOMPARE(titleWords(QStringLiteral("カタカナとひらがな、ABC123")),
             (QStringList{"カタカナ", "とひらがな", "abc123"}));
    // An engine's stand-in for a missing title is no title.
    QCOMPARE(pageTitle(QStringLiteral("127.0.0.1:8080/a.html"), QStringLiteral("http://127.0.0.1:8080/a.html")),
             QString());
    QCOMPARE(pageTitle(QStringLiteral("https://例え.jp/ページ"),
                       QStringLiteral("https://xn--r8jz45g.jp/%E3%83%9A%E3%83%BC%E3%82%B8")),
             QString());
    QCOMPARE(pageTitle(QStringLiteral("example.com"), QStringLiteral("http://example.com/")), QString());
    QCOMPARE(pageTitle(QStringLiteral(" 京都の天気 "), QStringLiteral("http://example.com/")),
             QStringLiteral("京都の天気"));
    QVERIFY(sameAddress(QStringLiteral("example.com"), QStringLiteral("http://example.com/")));
    QVERIFY(!sameAddress(QStringLiteral("example.com/a"), QStringLiteral("http://example.com/b")));
    QVERIFY(!sameAddress(QString(), QStringLiteral("http://example.com/")));
  }

  void ranking_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("expected");
    // a: often, recently; b: more often but long ago; c: a bookmark never
    // visited; d: once, today; e: a bookmark visited as often as d.
    QTest::newRow("host prefix, visits weighed by age")
        << "ex" << QStringList{"https://www.example.com/a", "http://example.org/b"};
    QTest::newRow("bookmark first on a tie")
        << "ne" << QStringList{"https://news.example.net/e", "https://new.example.net/d"};
    QTest::newRow("title word") << "天気" << QStringList{"https://tenki.example.jp/c"};
    QTest::newRow("every typed word starts a title word") << "kyoto wea" << QStringList{"https://tenki.example.jp/c"};
    QTest::newRow("scheme only when typed") << "http" << QStringList{};
    QTest::newRow("with scheme") << "http://ex" << QStringList{"http://example.org/b"};
    QTest::newRow("www typed") << "www.ex" << QStringList{"https://www.example.com/a"};
    QTest::newRow("middle of a word is no match") << "ample" << QStringList{};
    QTest::newRow("case ignored") << "EXAMPLE.C" << QStringList{"https://www.example.com/a"};
    QTest::newRow("nothing typed") << "  " << QStringList{};
  }
  void ranking() {
    QFETCH(QString, typed);
    QFETCH(QStringList, expected);
    const QList<Candidate> all = {
        {"https://www.example.com/a", "Example A", 5, kNow - kDay, false, 1},
        {"http://example.org/b", "Example B", 20, kNow - 200 * kDay, false, 2},
        {"https://tenki.example.jp/c", "Kyoto weather 京都の天気", 0, 0, true, 0},
        {"https://new.example.net/d", "D", 1, kNow - 1000, false, 4},
        {"https://news.example.net/e", "E", 1, kNow - 5000, false, 5},
        {"https://news.example.net/e", "E (bookmark)", 0, 0, true, 0},
    };
    QCOMPARE(urls(rankCompletions(typed, all, kNow)), expected);
  }

  void rankingMergesAndLimits() {
    QList<Candidate> many;
    for (int i = 0; i < 20; ++i)
      many << Candidate{
          QStringLiteral("https://site%1.example/").arg(i, 2, 10, QChar(u'0')), {}, i, kNow, false, i + 1};
    many << Candidate{"https://site19.example/", "お気に入り", 0, 0, true, 0};
    const QList<Candidate> top = rankCompletions(QStringLiteral("site"), many, kNow);
    QCOMPARE(top.size(), 8);
    QCOMPARE(top.first().url, QStringLiteral("https://site19.example/"));
    // The bookmark and the history entry of one address are one line.
    QVERIFY(top.first().bookmark);
    QCOMPARE(top.first().visitCount, 19);
    QCOMPARE(top.first().id, qint64(20));
    QCOMPARE(top.first().title, QStringLiteral("お気に入り"));
    QCOMPARE(top.last().url, QStringLiteral("https://site12.example/"));
  }

  void frecencyByAge() {
    QCOMPARE(frecency(10, kNow - kDay, kNow), 10.0);
    QVERIFY(frecency(10, kNow - 10 * kDay, kNow) < frecency(10, kNow - 2 * kDay, kNow));
    QVERIFY(frecency(10, kNow - 400 * kDay, kNow) < frecency(2, kNow, kNow));
  }

  void marking() {
    QCOMPARE(markedHtml(QStringLiteral("https://www.example.com/ex"), QStringLiteral("ex")),
             QStringLiteral("https://www.<b>ex</b>ample.com/<b>ex</b>"));
    QCOMPARE(markedHtml(QStringLiteral("京都の天気 <b>"), QStringLiteral("天気")),
             QStringLiteral("京都の<b>天気</b> &lt;b&gt;"));
    QCOMPARE(markedHtml(QStringLiteral("Kyoto Weather"), QStringLiteral("kyoto wea")),
             QStringLiteral("<b>Kyoto</b> <b>Wea</b>ther"));
    QVERIFY(typedSpans(QStringLiteral("sample"), QStringLiteral("ample")).isEmpty());
  }

  void dayHeadingsAndClearing() {
    const QDate today(2026, 12, 9);
    QCOMPARE(dayHeading(today, today), QStringLiteral("今日"));
    QCOMPARE(dayHeading(today.addDays(-1), today), QStringLiteral("昨日"));
    QCOMPARE(dayHeading(QDate(2026, 12, 7), today), QStringLiteral("2026年12月7日 (月)"));
    QCOMPARE(clearFrom(ClearRange::Hour, kNow), kNow - 3600 * 1000);
    QCOMPARE(clearFrom(ClearRange::Day, kNow), kNow - kDay);
    QCOMPARE(clearFrom(ClearRange::Week, kNow), kNow - 7 * kDay);
    QCOMPARE(clearFrom(ClearRange::All, kNow), qint64(0));
  }
};

QTEST_GUILESS_MAIN(TestHistoryRules)
#include "test_history_rules.moc"
