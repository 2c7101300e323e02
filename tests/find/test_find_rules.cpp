// What the find bar says of a search, which match WebKit's search stands
// on, and the captions of the back and forward lists.
#include <QTest>

#include "engine/find_position.h"
#include "find/find_rules.h"
#include "travel/travel_rules.h"

class TestFindRules : public QObject {
  Q_OBJECT
 private slots:
  void countText() {
    QCOMPARE(findCountText(QString(), 0, 0), QString());
    QCOMPARE(findCountText(QStringLiteral("京都"), 3, 12), QStringLiteral("3 / 12 件"));
    QCOMPARE(findCountText(QStringLiteral("京都"), 0, 0), QStringLiteral("見つかりません"));
    QVERIFY(findFailed(QStringLiteral("a"), 0));
    QVERIFY(!findFailed(QString(), 0));
    QVERIFY(!findFailed(QStringLiteral("a"), 2));
  }

  // Steps as the host reports them: "new", "next", "previous" (each found),
  // "count:<n>", "fail"; then current/total after each.
  void position_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("count after find") << QStringList{"new", "count:3", "next", "next", "next"}
                                      << QStringList{"1/0", "1/3", "2/3", "3/3", "1/3"};
    QTest::newRow("count first, back wraps")
        << QStringList{"count:3", "new", "previous", "previous"} << QStringList{"0/3", "1/3", "3/3", "2/3"};
    QTest::newRow("not found") << QStringList{"new", "fail", "count:0"} << QStringList{"1/0", "0/0", "0/0"};
    QTest::newRow("new text starts over")
        << QStringList{"count:5", "new", "next", "count:2", "new"} << QStringList{"0/5", "1/5", "2/5", "2/2", "1/2"};
  }
  void position() {
    QFETCH(QStringList, steps);
    QFETCH(QStringList, shown);
    FindPosition p;
    QStringList got;
    for (const QString& s : steps) {
      if (s == "new") {
        p.begin();
        p.found(false);
      } else if (s == "next" || s == "previous") {
        p.found(s == "previous");
      } else if (s == "fail") {
        p.failed();
      } else {
        p.counted(s.section(':', 1).toInt());
      }
      got << QStringLiteral("%1/%2").arg(p.current()).arg(p.total());
    }
    QCOMPARE(got, shown);
  }

  void travelCaptions() {
    QCOMPARE(travelCaption(QStringLiteral("  京都の\n天気 "), QStringLiteral("http://a/")),
             QStringLiteral("京都の 天気"));
    QCOMPARE(travelCaption(QString(), QStringLiteral("http://a/?x")), QStringLiteral("http://a/?x"));
    // A page's "&" is shown as it is, not taken for an access key.
    QCOMPARE(travelCaption(QStringLiteral("A & B"), QString()), QStringLiteral("A && B"));
    const QString longTitle = QString(100, QChar(u'字'));
    QCOMPARE(travelCaption(longTitle, QString()), QString(59, QChar(u'字')) + QChar(0x2026));
  }
};

QTEST_APPLESS_MAIN(TestFindRules)
#include "test_find_rules.moc"
