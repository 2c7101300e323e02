// Windows a page asks for, through the frame with both real engines, a local
// server and real clicks: they open in the asking page's engine whatever the
// engine menu says, the engine checks what the page asked for, the frame
// never loads a page's string or a hovered link itself, the compare view
// passes on only web pages really shown, and a dialog the new window shows
// before it is a window reaches the user.
#include <QDialog>
#include <QLabel>
#include <QMdiArea>
#include <QPushButton>
#include <QTest>

#include "frame_fixture.h"
#include "http_server.h"
#include "page_test_util.h"
#include "test_main.h"

class TestNewWindows : public QObject {
  Q_OBJECT

  TestHttpServer server;
  FrameFixture* fx = nullptr;
  TMainForm* f = nullptr;

  // A frame whose first window is of `ie`'s engine, with the engine menu
  // then set to the other one for new windows.
  TBrowserChild* openerIn(bool ie) {
    fx = new FrameFixture;
    f = fx->startShown(ie ? "[General]\nLastEngine=IE\n[Option_Main]\nMozilla=1\n"
                          : "[General]\nLastEngine=Gecko\n[Option_Main]\nMozilla=1\n",
                       QSize(1000, 750));
    if (!f) return nullptr;
    TBrowserChild* c = openPage(f, server.url("/opener.html"), QStringLiteral("opener"));
    if (c) c->setGeometry(f->MDIClient->viewport()->rect());
    (ie ? f->Moz_Item : f->IE_item)->trigger();
    return c;
  }

  // The child showing `title`, once there is one.
  TBrowserChild* windowTitled(const QString& title) {
    TBrowserChild* found = nullptr;
    (void)QTest::qWaitFor(
        [&] {
          for (QMdiSubWindow* w : f->MDIChildren())
            if (auto* c = qobject_cast<TBrowserChild*>(w); c && c->windowTitle() == title) found = c;
          return found != nullptr;
        },
        20000);
    return found;
  }

 private slots:
  void initTestCase() {
    QVERIFY(server.isListening());
    TMozillaBrowser::setHostProgramForTests(QStringLiteral(ZELVO_TEST_HOST));
    auto button = [](const char* id, const char* script) {
      return QByteArray("<button id=") + id + " style='display:block;width:140px;height:36px' onclick=\"" + script +
             "\">" + id + "</button>";
    };
    // The controls at the page's right edge, where the windows they open
    // (placed from the top left) leave them uncovered.
    server.pages["/opener.html"] =
        "<!DOCTYPE html><html><head><meta charset=utf-8><title>opener</title></head><body style='margin:0'>"
        "<div style='position:fixed;right:0;top:0;width:140px'>" +
        button("open", "window.open('/opened.html')") + button("browserpage", "window.open('chrome://version')") +
        button("localfile", "window.open('file:///etc/passwd')") +
        button("alert", "var w = window.open(''); w.alert('新しい窓から'); document.title = 'answered'") +
        "<a id=hovered href='file:///etc/passwd' style='display:block;height:40px' "
        "onclick='window.open(); return false'>hovered</a></div></body></html>";
    server.pages["/opened.html"] = "<!DOCTYPE html><title>opened</title><p>opened</p>";
    server.pages["/one.html"] = "<!DOCTYPE html><title>one</title><p>one</p>";
    server.pages["/two.html"] = "<!DOCTYPE html><title>two</title><p>two</p>";
  }

  void cleanup() { endFrame(fx); }

  // Windows open in the opener's engine, which checks what the page asked
  // for; the frame loads nothing of it, nor the link the pointer rests on.
  void pageAddressesAreNotTheFramesToLoad_data() {
    QTest::addColumn<bool>("ie");
    QTest::addColumn<QString>("button");
    for (bool ie : {true, false})
      for (const char* b : {"#browserpage", "#localfile", "#hovered"})
        QTest::addRow("%s page, %s", ie ? "WebEngine" : "WebKit", b + 1) << ie << QString::fromLatin1(b);
  }
  void pageAddressesAreNotTheFramesToLoad() {
    QFETCH(bool, ie);
    QFETCH(QString, button);
    TBrowserChild* opener = openerIn(ie);
    QVERIFY(opener);
    QVERIFY(clickElement(opener, button));
    // A window for an ordinary address afterwards: whatever the first click
    // opened has been opened by then.
    QVERIFY(clickElement(opener, "#open"));
    TBrowserChild* opened = windowTitled(QStringLiteral("opened"));
    QVERIFY(opened);
    for (QMdiSubWindow* w : f->MDIChildren()) {
      auto* c = qobject_cast<TBrowserChild*>(w);
      if (c == opener || c->windowTitle() == QStringLiteral("opened")) continue;
      QTRY_VERIFY_WITH_TIMEOUT(!c->Control()->Busy(), 20000);
      QVERIFY(!pageScript(c, "document.documentElement.textContent").contains("root:"));
      QVERIFY2(!c->Control()->LocationURL().startsWith("file:"), qPrintable(c->Control()->LocationURL()));
      QCOMPARE(c->IsIE(), ie);
    }
    QCOMPARE(opened->IsIE(), ie);
    QCOMPARE(pageScript(opened, "String(window.opener !== null)"), QStringLiteral("true"));
    QVERIFY(fx->errors.isEmpty());
  }

  void compareViewPassesOnOnlyWebPagesShown() {
    fx = new FrameFixture;
    f = fx->startShown("[General]\nLastEngine=IE\n[Option_Main]\nMozilla=1\n", QSize(1100, 750));
    QVERIFY(f);
    TBrowserChild* left = openPage(f, server.url("/one.html"), QStringLiteral("one"));
    QVERIFY(left && left->IsIE());
    QWebEnginePage* leftPage = static_cast<TWebBrowser*>(left->Control())->view()->page();
    QStringList leftShown;
    connect(leftPage, &QWebEnginePage::urlChanged, this, [&](const QUrl& u) { leftShown << u.toString(); });
    f->mnuCompare->trigger();
    QVERIFY(f->mnuCompare->isChecked());
    QCOMPARE(f->MDIChildCount(), 2);
    auto* right = qobject_cast<TBrowserChild*>(f->MDIChildren().last());
    QVERIFY(right && !right->IsIE());
    QTRY_COMPARE_WITH_TIMEOUT(right->windowTitle(), QStringLiteral("one"), 20000);

    quint16 closedPort = 0;
    {
      QTcpServer probe;  // a port nobody listens on once it is closed
      QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
      closedPort = probe.serverPort();
    }
    // The WebEngine page's failed load (its error page at that address) is
    // not passed on.
    const QString refusedLeft = QStringLiteral("http://127.0.0.1:%1/left").arg(closedPort);
    pageScript(left, QStringLiteral("location.href = '%1'; 'ok'").arg(refusedLeft));
    QTRY_VERIFY_WITH_TIMEOUT(left->Control()->LocationURL() == refusedLeft && !left->Control()->Busy(), 20000);
    QCOMPARE(right->Control()->LocationURL(), server.url("/one.html"));

    // The WebKit page goes to a browser page and to a server that is not
    // there, each ending at WebKit's error page at that address; the other
    // side stays.
    const QString refused = QStringLiteral("http://127.0.0.1:%1/right").arg(closedPort);
    for (const QString& to : {QStringLiteral("chrome://version"), refused}) {
      pageScript(right, QStringLiteral("location.href = '%1'; 'ok'").arg(to));
      QTRY_COMPARE_WITH_TIMEOUT(pageScript(right, "document.title"), QStringLiteral("ページを表示できません"), 20000);
      QTRY_VERIFY_WITH_TIMEOUT(pageScript(right, "document.body.textContent").contains(to), 20000);
      QCOMPARE(right->Control()->LocationURL(), to);
    }

    // A web page shown on the right still goes across, and the left never
    // went anywhere but there and to its own failed load.
    pageScript(right, QStringLiteral("location.href = '%1'; 'ok'").arg(server.url("/two.html")));
    QTRY_COMPARE_WITH_TIMEOUT(left->windowTitle(), QStringLiteral("two"), 20000);
    for (const QString& u : leftShown) QVERIFY2(u == refusedLeft || u == server.url("/two.html"), qPrintable(u));
    QVERIFY(fx->errors.isEmpty());
  }

  // `w = window.open(''); w.alert(...)` on a click: the new window's dialog
  // is shown, answered, and both pages go on.
  void dialogOfAWindowJustOpened_data() {
    QTest::addColumn<bool>("ie");
    QTest::newRow("WebEngine") << true;
    QTest::newRow("WebKit") << false;
  }
  void dialogOfAWindowJustOpened() {
    QFETCH(bool, ie);
    TBrowserChild* opener = openerIn(ie);
    QVERIFY(opener);
    // Answered from a timer: a WebEngine page waits for it in an event loop
    // above this test's own.
    QString shown;
    int windows = 0;
    TimedSteps steps;
    steps.when([] { return answerableWindow<QDialog>("PageDialog"); },
               [&] {
                 auto* d = visibleWindow<QDialog>("PageDialog");
                 shown = d->findChild<QLabel*>("lblPageMessage")->text();
                 windows = f->MDIChildCount();
                 d->findChild<QPushButton*>("btnOK")->click();
               });
    QVERIFY(clickElement(opener, "#alert"));
    QTRY_VERIFY_WITH_TIMEOUT(steps.done(), 20000);
    QCOMPARE(shown, QStringLiteral("新しい窓から"));
    QCOMPARE(windows, 2);
    QTRY_COMPARE_WITH_TIMEOUT(opener->windowTitle(), QStringLiteral("answered"), 20000);
    auto* opened = qobject_cast<TBrowserChild*>(f->MDIChildren().last());
    QCOMPARE(opened->IsIE(), ie);
    QCOMPARE(pageScript(opened, "'alive'"), QStringLiteral("alive"));
    QVERIFY(fx->errors.isEmpty());
  }
};

ZELVO_TEST_MAIN(TestNewWindows)
#include "test_new_windows.moc"
