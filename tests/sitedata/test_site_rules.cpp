// The site a host's data belongs to, the engines' records merged per site,
// and the start of each time range of clearing.
#include <QTest>

#include "sitedata/site_rules.h"

using namespace sitedata;

class TestSiteRules : public QObject {
  Q_OBJECT
 private slots:
  void registrableSite_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("site");
    QTest::newRow("two labels") << "example.org"
                                << "example.org";
    QTest::newRow("subdomain") << "www.example.org"
                               << "example.org";
    QTest::newRow("deep") << "a.b.c.example.com"
                          << "example.com";
    QTest::newRow("co.jp") << "shop.example.co.jp"
                           << "example.co.jp";
    QTest::newRow("ne.jp bare") << "example.ne.jp"
                                << "example.ne.jp";
    QTest::newRow("co.uk") << "news.bbc.co.uk"
                           << "bbc.co.uk";
    QTest::newRow("jp not second-level") << "www.example.jp"
                                         << "example.jp";
    QTest::newRow("cookie domain dot") << ".www.example.org"
                                       << "example.org";
    QTest::newRow("trailing dot, case") << "WWW.Example.ORG."
                                        << "example.org";
    QTest::newRow("ipv4") << "192.168.10.20"
                          << "192.168.10.20";
    QTest::newRow("ipv6") << "::1"
                          << "::1";
    QTest::newRow("ipv6 bracketed") << "[::1]"
                                    << "[::1]";
    QTest::newRow("one label") << "localhost"
                               << "localhost";
    QTest::newRow("empty label") << "a..example.org"
                                 << "a..example.org";
    QTest::newRow("empty") << ""
                           << "";
  }
  void registrableSite() {
    QFETCH(QString, host);
    QFETCH(QString, site);
    QCOMPARE(sitedata::registrableSite(host), site);
  }

  void mergeBySite() {
    const QList<SiteRow> rows = sitedata::mergeBySite({
        {Engine::WebEngine, QStringLiteral("www.example.org"), 2, -1, {QStringLiteral("cookies")}},
        {Engine::WebEngine, QStringLiteral("example.org"), 1, -1, {QStringLiteral("cookies")}},
        {Engine::WebKit, QStringLiteral("example.org"), 0, 2048, {QStringLiteral("local-storage")}},
        {Engine::WebKit, QStringLiteral("other.co.jp"), 0, -1, {QStringLiteral("cookies")}},
        {Engine::WebKit, QString(), 0, 10, {}},
    });
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0].site, QString("example.org"));
    QCOMPARE(rows[0].cookies, 3);
    QCOMPARE(rows[0].bytes, 2048);
    QCOMPARE(rows[0].kinds, QStringList({"cookies", "local-storage"}));
    QCOMPARE(rows[0].webEngineNames, QStringList({"www.example.org", "example.org"}));
    QCOMPARE(rows[0].webKitNames, QStringList({"example.org"}));
    QCOMPARE(amountText(rows[0]), QString("Cookie 3 件、2.0 KB"));
    QCOMPARE(rows[1].site, QString("other.co.jp"));
    QCOMPARE(rows[1].bytes, -1);  // no engine told
    QVERIFY(rows[1].webEngineNames.isEmpty());
    QCOMPARE(amountText(rows[1]), QString());
  }

  void clearRangeStart() {
    const qint64 now = 1'000'000'000'000;
    const qint64 hour = 3'600'000;
    QCOMPARE(sitedata::clearRangeStart(ClearRange::LastHour, now), now - hour);
    QCOMPARE(sitedata::clearRangeStart(ClearRange::LastDay, now), now - 24 * hour);
    QCOMPARE(sitedata::clearRangeStart(ClearRange::LastWeek, now), now - 7 * 24 * hour);
    QCOMPARE(sitedata::clearRangeStart(ClearRange::All, now), 0);
  }
};

QTEST_GUILESS_MAIN(TestSiteRules)
#include "test_site_rules.moc"
