// What pages may ask for: the names of the kinds on both sides of the host
// protocol, the question's text, and the session's memory of answers.
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
};

QTEST_APPLESS_MAIN(TestPermissionRules)
#include "test_permission_rules.moc"
