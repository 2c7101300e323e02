// What pages may ask for: the names of the kinds on both sides of the host
// protocol, the question's text, and the memory of answers: the session's,
// and those kept for good in a file any program may have written to.
#include <QTemporaryDir>
#include <QTest>

#include "page/permission_rules.h"

class TestPermissionRules : public QObject {
  Q_OBJECT
 private slots:
  void kindsRoundTripByName() {
    for (int i = 0; i <= static_cast<int>(PermissionKind::StorageAccess); ++i) {
      const auto kind = static_cast<PermissionKind>(i);
      QCOMPARE(permissionKindFromName(permissionKindName(kind)), std::optional<PermissionKind>(kind));
      QVERIFY(!permissionWhat(kind).isEmpty());
    }
    QCOMPARE(permissionKindName(PermissionKind::CameraAndMicrophone), QString("camera+microphone"));
    QVERIFY(!permissionKindFromName("midi"));
    QVERIFY(!permissionKindFromName(""));
  }

  void questionNamesTheSiteAndWhatItWants() {
    QCOMPARE(permissionQuestion(PermissionKind::Geolocation, "example.org"),
             QString("example.org が次の許可を求めています:\n現在地の取得"));
    QVERIFY(permissionQuestion(PermissionKind::Notifications, "").startsWith("このページ が"));
  }

  void originsAreSchemeHostAndPort() {
    QCOMPARE(permissionOrigin("https://Example.ORG/a/b?c#d"), QString("https://example.org"));
    QCOMPARE(permissionOrigin("http://127.0.0.1:8080/x.html"), QString("http://127.0.0.1:8080"));
    QCOMPARE(permissionOrigin("https://example.org:443/"), QString("https://example.org:443"));
    QCOMPARE(permissionOrigin("http://例え.jp/"), QString("http://xn--r8jz45g.jp"));
    QCOMPARE(permissionOrigin("file:///home/u/a.html"), QString("file://"));
    QCOMPARE(permissionOrigin("about:blank"), QString());
    QCOMPARE(permissionOrigin(""), QString());
  }

  void answersAreKeptPerOriginAndKind() {
    PermissionMemory m;
    const QString a = "http://a.example", b = "http://b.example";
    QVERIFY(!m.answer(a, PermissionKind::Notifications));
    m.remember(a, PermissionKind::Notifications, true);
    m.remember(a, PermissionKind::Geolocation, false);
    QCOMPARE(m.answer(a, PermissionKind::Notifications), std::optional<bool>(true));
    QCOMPARE(m.answer(a, PermissionKind::Geolocation), std::optional<bool>(false));
    QVERIFY(!m.answer(b, PermissionKind::Notifications));  // another site asks again
    QVERIFY(!m.answer(a, PermissionKind::Camera));         // another kind too
    m.remember(a, PermissionKind::Notifications, false);   // a later answer replaces the first
    QCOMPARE(m.answer(a, PermissionKind::Notifications), std::optional<bool>(false));
    m.remember("", PermissionKind::Camera, true);  // no site: nothing to remember it by
    QVERIFY(!m.answer("", PermissionKind::Camera));
    m.clear();
    QVERIFY(!m.answer(a, PermissionKind::Geolocation));
  }

  void screenCaptureIsAskedEveryTime() {
    PermissionMemory m;
    const QString a = "https://meet.example";
    QVERIFY(!PermissionMemory::remembers(PermissionKind::ScreenCapture));
    QVERIFY(PermissionMemory::remembers(PermissionKind::Camera));
    for (const bool allowed : {true, false}) {
      m.remember(a, PermissionKind::ScreenCapture, allowed);
      QVERIFY(!m.answer(a, PermissionKind::ScreenCapture));
    }
    m.remember(a, PermissionKind::Camera, true);  // other kinds are kept as before
    QCOMPARE(m.answer(a, PermissionKind::Camera), std::optional<bool>(true));
  }

  void deviceListFollowsTheMediaAnswers() {
    PermissionMemory m;
    const QString a = "https://meet.example";
    QVERIFY(!PermissionMemory::asksUser(PermissionKind::DeviceInfo));
    QVERIFY(PermissionMemory::asksUser(PermissionKind::Camera));
    QCOMPARE(m.answer(a, PermissionKind::DeviceInfo), std::optional<bool>(false));
    m.remember(a, PermissionKind::Camera, false);
    QCOMPARE(m.answer(a, PermissionKind::DeviceInfo), std::optional<bool>(false));
    m.remember(a, PermissionKind::Microphone, true);
    QCOMPARE(m.answer(a, PermissionKind::DeviceInfo), std::optional<bool>(true));
    QCOMPARE(m.answer("https://other.example", PermissionKind::DeviceInfo), std::optional<bool>(false));
  }

  void keptAnswersOutliveTheSessionAndTheProgram() {
    QTemporaryDir dir;
    const QString path = dir.filePath("site-permissions.txt");
    const QString a = "https://a.example", b = "http://b.example:8080";
    {
      PermissionMemory m;
      m.setFile(path);
      m.remember(a, PermissionKind::Geolocation, true, true, 1000);
      m.remember(b, PermissionKind::Notifications, false, true, 5000);
      m.remember(a, PermissionKind::Camera, true, false, 5000);        // this session only
      m.remember(a, PermissionKind::ScreenCapture, true, true, 5000);  // never kept
      m.clear();
      QCOMPARE(m.answer(a, PermissionKind::Geolocation), std::optional<bool>(true));
      QVERIFY(!m.answer(a, PermissionKind::Camera));
    }
    PermissionMemory next;  // the next run
    next.setFile(path);
    QCOMPARE(next.kept(), (QList<PermissionMemory::Kept>{{a, PermissionKind::Geolocation, true, 1000},
                                                         {b, PermissionKind::Notifications, false, 5000}}));
    QCOMPARE(next.answer(b, PermissionKind::Notifications), std::optional<bool>(false));
    QVERIFY(!next.answer(a, PermissionKind::ScreenCapture));
    next.keep(b, PermissionKind::Notifications, true, 6000);
    next.forgetFrom(2000);  // the answers given since: the changed one goes
    PermissionMemory third;
    third.setFile(path);
    QCOMPARE(third.kept(), (QList<PermissionMemory::Kept>{{a, PermissionKind::Geolocation, true, 1000}}));
    third.forget(a, PermissionKind::Geolocation);
    QVERIFY(!third.answer(a, PermissionKind::Geolocation));
    third.setFile(path);
    QVERIFY(third.kept().isEmpty());
  }

  void keptFileReaderTakesOnlyWhatItWrote_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("taken");
    QTest::newRow("as written") << QByteArray("https://a.example\tgeolocation\tallow\t5") << true;
    QTest::newRow("block, port") << QByteArray("http://a.example:81\tcamera\tblock\t0") << true;
    QTest::newRow("a path is no origin") << QByteArray("https://a.example/x\tgeolocation\tallow\t5") << false;
    QTest::newRow("upper case") << QByteArray("https://A.example\tgeolocation\tallow\t5") << false;
    QTest::newRow("unknown kind") << QByteArray("https://a.example\tmidi\tallow\t5") << false;
    QTest::newRow("screen") << QByteArray("https://a.example\tscreen\tallow\t5") << false;
    QTest::newRow("device list") << QByteArray("https://a.example\tdevice-info\tallow\t5") << false;
    QTest::newRow("unknown answer") << QByteArray("https://a.example\tgeolocation\tyes\t5") << false;
    QTest::newRow("no time") << QByteArray("https://a.example\tgeolocation\tallow") << false;
    QTest::newRow("bad time") << QByteArray("https://a.example\tgeolocation\tallow\t-5") << false;
    QTest::newRow("extra field") << QByteArray("https://a.example\tgeolocation\tallow\t5\tx") << false;
    QTest::newRow("binary") << QByteArray("\xff\xfe\x00\t\x01\tallow\t5", 13) << false;
  }
  void keptFileReaderTakesOnlyWhatItWrote() {
    QFETCH(QByteArray, line);
    QFETCH(bool, taken);
    // Between two good lines, so that a bad one never costs its neighbours.
    const QByteArray text =
        "https://x.example\tnotifications\tallow\t1\n" + line + "\r\nhttps://y.example\tnotifications\tblock\t2\n";
    const QList<PermissionMemory::Kept> kept = PermissionMemory::decode(text);
    QCOMPARE(kept.size(), taken ? 3 : 2);
    QCOMPARE(kept.first().origin, QString("https://x.example"));
    QCOMPARE(kept.last().origin, QString("https://y.example"));
  }
};

QTEST_APPLESS_MAIN(TestPermissionRules)
#include "test_permission_rules.moc"
