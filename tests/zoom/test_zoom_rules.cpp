// The zoom steps, the site a level is kept for, and the kept table read as
// hostile input.
#include <QTest>

#include "zoom/zoom_rules.h"

class TestZoomRules : public QObject {
  Q_OBJECT
 private slots:
  void stepsFromAnyLevel_data() {
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("next");
    QTest::addColumn<int>("previous");
    QTest::newRow("top") << 500 << 500 << 400;
    QTest::newRow("between steps") << 120 << 125 << 110;
    QTest::newRow("below the range") << 10 << 25 << 25;
    QTest::newRow("above the range") << 900 << 500 << 500;
  }
  void stepsFromAnyLevel() {
    QFETCH(int, level);
    QFETCH(int, next);
    QFETCH(int, previous);
    QCOMPARE(zoom::nextLevel(level), next);
    QCOMPARE(zoom::previousLevel(level), previous);
  }

  void walkCoversEveryStep() {
    QList<int> up{25}, down{500};
    while (up.last() != 500) up << zoom::nextLevel(up.last());
    while (down.last() != 25) down << zoom::previousLevel(down.last());
    const QList<int> expected{25, 33, 50, 67, 75, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300, 400, 500};
    QCOMPARE(up, expected);
    std::reverse(down.begin(), down.end());
    QCOMPARE(down, expected);
  }

  void siteKey_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("key");
    QTest::newRow("http") << "http://Example.JP/a?b#c"
                          << "http://example.jp:80";
    QTest::newRow("https port") << "https://example.jp:8443/x"
                                << "https://example.jp:8443";
    QTest::newRow("https default") << "https://user:pw@example.jp/"
                                   << "https://example.jp:443";
    QTest::newRow("ipv6") << "http://[::1]:8080/"
                          << "http://[::1]:8080";
    QTest::newRow("idn") << "http://日本.jp/"
                         << "http://xn--wgv71a.jp:80";
    QTest::newRow("file") << "file:///home/a.html"
                          << "file://";
    QTest::newRow("about") << "about:blank"
                           << "";
    QTest::newRow("data") << "data:text/html,x"
                          << "";
    QTest::newRow("view-source") << "view-source:http://example.jp/"
                                 << "";
    QTest::newRow("no host") << "http:///path"
                             << "";
  }
  void siteKey() {
    QFETCH(QString, url);
    QFETCH(QString, key);
    QCOMPARE(zoom::siteKey(url), key);
  }

  void tableReadAsHostileInput() {
    const QByteArray text =
        "http://a.jp:80\t150\n"
        "http://b.jp:80\t151\n"       // not a step
        "http://c.jp:80\t100\n"       // the default is never kept
        "http://A.jp:80\t200\n"       // not as siteKey() writes it
        "javascript:alert(1)\t200\n"  // not a site
        "http://d.jp\t200\n"          // no port
        "\t200\n"
        "http://e.jp:80\t25junk\n"
        "http://a.jp:80\t67\n"  // given again: the last wins
        "file://\t300\r\n";
    const QList<zoom::SiteLevel> table = zoom::parseTable(text);
    QCOMPARE(table.size(), 2);
    QCOMPARE(zoom::levelOf(table, "http://a.jp:80"), 67);
    QCOMPARE(zoom::levelOf(table, "file://"), 300);
    QCOMPARE(zoom::levelOf(table, "http://b.jp:80"), 100);
    QCOMPARE(zoom::parseTable(zoom::writeTable(table)).size(), 2);
    QVERIFY(zoom::parseTable(QByteArray(zoom::kMaxTableBytes + 1, 'x')).isEmpty());
  }

  void tableKeepsTheNewestSites() {
    QList<zoom::SiteLevel> table;
    for (int i = 0; i < zoom::kMaxSites + 5; ++i)
      table = zoom::withLevel(table, QStringLiteral("http://s%1.jp:80").arg(i), 150);
    QCOMPARE(table.size(), zoom::kMaxSites);
    QCOMPARE(zoom::levelOf(table, "http://s0.jp:80"), 100);
    QCOMPARE(zoom::levelOf(table, QStringLiteral("http://s%1.jp:80").arg(zoom::kMaxSites + 4)), 150);
    // Back to 100% forgets the site.
    table = zoom::withLevel(table, "http://s10.jp:80", 100);
    QCOMPARE(table.size(), zoom::kMaxSites - 1);
  }
};

QTEST_APPLESS_MAIN(TestZoomRules)
#include "test_zoom_rules.moc"
