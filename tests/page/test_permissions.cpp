// Permissions and full screen in both engines, through real child windows
// of the frame against local servers (each server's port is a site of its
// own): the question denied and allowed with the answer read back from the
// page, later requests answered from the session without a question, a
// window closed while asking, requests named by the page that made them
// while the window loads another site, and a page in full screen left with
// Esc or by its own script.
#include <QDialog>
#include <QLabel>
#include <QMdiArea>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "frame_fixture.h"
#include "http_server.h"
#include "page/permissions.h"
#include "page_test_util.h"
#include "screenshot.h"
#include "test_main.h"

namespace {

// Counts the permission questions that are shown.
class QuestionCounter : public QObject {
 public:
  int shown = 0;

 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Show && o->objectName() == QLatin1String("PermissionQuestion")) ++shown;
    return false;
  }
};

const char* kPermPage =
    "<!DOCTYPE html><meta charset=utf-8><title>perm</title><body style='font:18px sans-serif'>"
    "<h1>通知のテスト</h1></body>";
const char* kAsk = "Notification.requestPermission().then(function(p){document.title='perm:'+p});1";

const char* kFullPage =
    "<!DOCTYPE html><meta charset=utf-8><title>normal</title><body style='margin:0;font:18px sans-serif'>"
    "<div id=box style='background:#2a6;color:#fff;width:320px;height:160px'>"
    "<button id=go style='width:200px;height:60px'>全画面</button><p>動画の代わり</p></div>"
    "<script>var b=document.getElementById('box');document.getElementById('go').onclick=function(){"
    "(b.requestFullscreen||b.webkitRequestFullscreen).call(b)};"
    "document.addEventListener('fullscreenchange',function(){"
    "document.title=document.fullscreenElement?'full':'normal'})</script></body>";

// The widget that shows the page: the view, or the embedded WebKit window.
QWidget* pageWidget(TBrowserChild* c) {
  if (auto* ie = qobject_cast<TWebBrowser*>(c->Control())) return ie->view();
  return c->Control()->findChild<QWidget*>("webkitView");
}

QRect globalRect(QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); }

bool pressEscape() {
  return QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")}) == 0;
}

}  // namespace

class TestPermissions : public QObject {
  Q_OBJECT

  TestHttpServer denied, allowed, closing, leaving, destination;
  FrameFixture* fx = nullptr;
  TMainForm* f = nullptr;
  QuestionCounter counter;

  TBrowserChild* open(const QString& url, const QString& title) { return openPage(f, url, title); }
  QString engine() const { return f->IE_item->isChecked() ? QStringLiteral("ie") : QStringLiteral("gekko"); }

 private slots:
  void initTestCase() {
    for (TestHttpServer* s : {&denied, &allowed, &closing, &leaving}) {
      QVERIFY(s->isListening());
      s->pages["/perm.html"] = kPermPage;
    }
    allowed.pages["/full.html"] = kFullPage;
    destination.held << "/held.html";
    TMozillaBrowser::setHostProgramForTests(QStringLiteral(ZELVO_TEST_HOST));
    qApp->installEventFilter(&counter);
  }

  void initTestCase_data() { addEngineRows(); }
  void init() {
    QFETCH_GLOBAL(QByteArray, config);
    PagePermissions::memory().clear();
    fx = new FrameFixture;
    QVERIFY((f = fx->startShown(config, QSize(1000, 750))));
  }
  void cleanup() { endFrame(fx); }

  void questionDeniedAllowedAndRemembered() {
    // Denied: the page reads "denied", and asks again without a question.
    TBrowserChild* c = open(denied.url("/perm.html"), "perm");
    QVERIFY(c);
    counter.shown = 0;
    TimedSteps steps;
    steps.when([] { return visibleWindow<QDialog>("PermissionQuestion"); },
               [&] {
                 auto* q = visibleWindow<QDialog>("PermissionQuestion");
                 const QString text = q->findChild<QLabel*>("lblPermissionQuestion")->text();
                 QVERIFY(text.contains(QStringLiteral("127.0.0.1:%1").arg(denied.serverPort())));
                 QVERIFY(text.contains(QStringLiteral("通知の表示")));
                 // Modal to nothing: the frame goes on working.
                 QVERIFY(!QApplication::activeModalWidget());
                 screenshot(QStringLiteral("perm-question-%1.png").arg(engine()));
                 q->findChild<QPushButton*>("btnDeny")->click();
               });
    pageScript(c, kAsk);
    QTRY_VERIFY_WITH_TIMEOUT(steps.done(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QString("perm:denied"), 20000);
    QCOMPARE(counter.shown, 1);
    pageScript(c, "document.title='again';1");
    pageScript(c, kAsk);
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QString("perm:denied"), 20000);
    QCOMPARE(counter.shown, 1);
    // Another kind of the same site is a question of its own.
    TimedSteps geo;
    geo.when([] { return visibleWindow<QDialog>("PermissionQuestion"); },
             [] {
               auto* q = visibleWindow<QDialog>("PermissionQuestion");
               QVERIFY(q->findChild<QLabel*>("lblPermissionQuestion")->text().contains(QStringLiteral("現在地の取得")));
               q->findChild<QPushButton*>("btnDeny")->click();
             });
    pageScript(c,
               "navigator.geolocation.getCurrentPosition(function(){document.title='geo:ok'},"
               "function(e){document.title='geo:'+e.code});1");
    QTRY_VERIFY_WITH_TIMEOUT(geo.done(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QString("geo:1"), 20000);  // PERMISSION_DENIED
    QCOMPARE(counter.shown, 2);

    // Allowed on another site: granted, and its notifications show.
    TBrowserChild* a = open(allowed.url("/perm.html"), "perm");
    QVERIFY(a);
    TimedSteps allow;
    allow.when([] { return visibleWindow<QDialog>("PermissionQuestion"); },
               [] { visibleWindow<QDialog>("PermissionQuestion")->findChild<QPushButton*>("btnAllow")->click(); });
    pageScript(a, kAsk);
    QTRY_VERIFY_WITH_TIMEOUT(allow.done(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(a->windowTitle(), QString("perm:granted"), 20000);
    QCOMPARE(counter.shown, 3);
    pageScript(a,
               "var n=new Notification('新着メッセージ',{body:'山田さんからメッセージが届きました'});"
               "n.onclick=function(){document.title='clicked'};1");
    QTRY_VERIFY_WITH_TIMEOUT(visibleWindow<QWidget>("NotificationPopup"), 20000);
    auto* popup = visibleWindow<QWidget>("NotificationPopup");
    QCOMPARE(popup->findChild<QLabel*>("lblNotificationTitle")->text(), QString("新着メッセージ"));
    QCOMPARE(popup->findChild<QLabel*>("lblNotificationBody")->text(), QString("山田さんからメッセージが届きました"));
    screenshot(QStringLiteral("perm-notification-%1.png").arg(engine()));
    QTest::mouseClick(popup, Qt::LeftButton, {}, QPoint(100, popup->height() - 10));
    QTRY_COMPARE_WITH_TIMEOUT(a->windowTitle(), QString("clicked"), 20000);
    QTRY_VERIFY(!visibleWindow<QWidget>("NotificationPopup"));
    // The same site in a new window is answered from the session.
    TBrowserChild* again = open(allowed.url("/perm.html"), "perm");
    QVERIFY(again);
    QCOMPARE(pageScript(again, "Notification.permission"), QString("granted"));
    pageScript(again,
               "navigator.permissions.query({name:'notifications'}).then(function(s){document.title='q:'+s.state});1");
    QTRY_COMPARE_WITH_TIMEOUT(again->windowTitle(), QString("q:granted"), 20000);
    pageScript(again, kAsk);
    QTRY_COMPARE_WITH_TIMEOUT(again->windowTitle(), QString("perm:granted"), 20000);
    QCOMPARE(counter.shown, 3);
    QVERIFY(fx->errors.isEmpty());
  }

  void windowClosedWhileAsking() {
    // Another window keeps the engine (the WebKit host) running throughout.
    QVERIFY(open(denied.url("/perm.html"), "perm"));
    TBrowserChild* c = open(closing.url("/perm.html"), "perm");
    QVERIFY(c);
    const qint64 host = TMozillaBrowser::hostProcessId();
    // A question closed without an answer denies, and the page may ask again.
    counter.shown = 0;
    TimedSteps dismiss;
    dismiss.when([] { return visibleWindow<QDialog>("PermissionQuestion"); },
                 [] { visibleWindow<QDialog>("PermissionQuestion")->reject(); });
    pageScript(c, kAsk);
    QTRY_VERIFY_WITH_TIMEOUT(dismiss.done(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QString("perm:denied"), 20000);
    pageScript(c, kAsk);
    QTRY_VERIFY_WITH_TIMEOUT(visibleWindow<QDialog>("PermissionQuestion"), 20000);
    QCOMPARE(counter.shown, 2);
    // The window goes while it asks.
    QPointer<TBrowserChild> child(c);
    c->close();
    QTRY_VERIFY_WITH_TIMEOUT(child.isNull(), 20000);
    QTRY_VERIFY(!visibleWindow<QDialog>("PermissionQuestion"));
    // Nothing was remembered; the engine and the frame go on.
    QVERIFY(!PagePermissions::memory().answer(permissionOrigin(closing.url("/")), PermissionKind::Notifications));
    QCOMPARE(TMozillaBrowser::hostProcessId(), host);
    TBrowserChild* next = open(closing.url("/perm.html"), "perm");
    QVERIFY(next);
    QCOMPARE(pageScript(next, "document.title"), QString("perm"));
    QVERIFY(fx->errors.isEmpty());
  }

  // The page asks while its window loads another site the user chose
  // (whose answer the session knows): what it asks is its own. The WebKit
  // engine refuses without a question then; a question or a page dialog
  // names the page shown, not the one being loaded.
  void requestsBelongToTheShownPage() {
    QVERIFY(destination.isListening());
    PagePermissions::memory().remember(permissionOrigin(destination.url("/")), PermissionKind::Geolocation, true);
    TBrowserChild* c = open(leaving.url("/perm.html"), "perm");
    QVERIFY(c);
    QTRY_VERIFY(!c->Control()->Busy());
    c->Control()->Navigate(destination.url("/held.html"));
    QTRY_VERIFY_WITH_TIMEOUT(c->Control()->Busy(), 20000);
    const QString site = QStringLiteral("127.0.0.1:%1").arg(leaving.serverPort());
    QStringList named;
    TimedSteps deny;
    deny.when([] { return visibleWindow<QDialog>("PermissionQuestion"); },
              [&] {
                auto* q = visibleWindow<QDialog>("PermissionQuestion");
                named << q->windowTitle();
                q->findChild<QPushButton*>("btnDeny")->click();
              });
    // The answer is read from the page: its own loads wait for the pending one.
    pageScript(c,
               "setTimeout(function(){navigator.geolocation.getCurrentPosition("
               "function(){window.geo='ok'},function(e){window.geo=String(e.code)})},0);1");
    QTRY_COMPARE_WITH_TIMEOUT(pageScript(c, "String(window.geo)"), QString("1"), 20000);  // PERMISSION_DENIED
    if (engine() == "gekko") QVERIFY(named.isEmpty());
    TimedSteps dialog;
    dialog.when([] { return visibleWindow<QDialog>("PageDialog"); },
                [&] {
                  auto* d = visibleWindow<QDialog>("PageDialog");
                  named << d->windowTitle();
                  d->findChild<QPushButton*>("btnOK")->click();
                });
    pageScript(c, "setTimeout(function(){alert('まだこのページです')},0);1");
    QTRY_VERIFY_WITH_TIMEOUT(dialog.done(), 20000);
    for (const QString& title : named) QVERIFY2(title.startsWith(site), qPrintable(title));
    c->Control()->Stop();
    QVERIFY(fx->errors.isEmpty());
  }

  void fullScreenFillsTheScreenAndComesBack() {
    TBrowserChild* c = open(allowed.url("/full.html"), "normal");
    QVERIFY(c);
    QTRY_VERIFY(!c->Control()->Busy());
    QWidget* page = pageWidget(c);
    QVERIFY(page);
    const QRect childBefore = c->geometry();
    const QRect pageBefore = globalRect(page);
    const QRect screen = c->screen()->geometry();

    for (const bool byEscape : {true, false}) {
      QVERIFY(clickElement(c, "#go"));
      QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QString("full"), 20000);
      QTRY_VERIFY(visibleWindow<QWidget>("FullScreenWindow"));
      QTRY_COMPARE_WITH_TIMEOUT(globalRect(page), screen, 10000);
      QCOMPARE(pageScript(c, "String(document.fullscreenElement !== null)"), QString("true"));
      QTRY_COMPARE_WITH_TIMEOUT(pageScript(c, "window.innerWidth+'x'+window.innerHeight"),
                                QStringLiteral("%1x%2").arg(screen.width()).arg(screen.height()), 10000);
      if (byEscape) {
        screenshot(QStringLiteral("perm-fullscreen-%1.png").arg(engine()));
        QTest::qWait(300);
        QVERIFY(pressEscape());
      } else {
        pageScript(c, "document.exitFullscreen();1");
      }
      QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QString("normal"), 20000);
      QTRY_VERIFY(!visibleWindow<QWidget>("FullScreenWindow"));
      QCOMPARE(pageScript(c, "String(document.fullscreenElement)"), QString("null"));
      // Back in its window in the frame, exactly where it was.
      QVERIFY(c->mdiArea());
      QCOMPARE(c->geometry(), childBefore);
      QVERIFY(c->Control()->isAncestorOf(page));
      QTRY_COMPARE_WITH_TIMEOUT(globalRect(page), pageBefore, 10000);
    }
    // The window closed while its page fills the screen takes the full
    // screen with it.
    QVERIFY(clickElement(c, "#go"));
    QTRY_VERIFY_WITH_TIMEOUT(visibleWindow<QWidget>("FullScreenWindow"), 20000);
    QPointer<TBrowserChild> child(c);
    c->close();
    QTRY_VERIFY_WITH_TIMEOUT(child.isNull(), 20000);
    QTRY_VERIFY(!visibleWindow<QWidget>("FullScreenWindow"));
    // So does the frame, when it ends (cleanup) with a page in full screen.
    TBrowserChild* last = open(allowed.url("/full.html"), "normal");
    QVERIFY(last);
    QTRY_VERIFY(!last->Control()->Busy());
    QVERIFY(clickElement(last, "#go"));
    QTRY_VERIFY_WITH_TIMEOUT(visibleWindow<QWidget>("FullScreenWindow"), 20000);
    QVERIFY(fx->errors.isEmpty());
  }
};

ZELVO_TEST_MAIN(TestPermissions)
#include "test_permissions.moc"
