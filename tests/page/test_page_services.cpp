// Both engines answer their pages alike, through real child windows of the
// frame against a local server: page dialogs that never hold up the frame
// (an endless alert loop included), silencing a page, scripted pop-ups
// blocked, clicked ones opened with their opener and closed by their
// script, one pop-up per click, and addresses shown readable.
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QTest>

#include "frame_fixture.h"
#include "http_server.h"
#include "page/page_services.h"
#include "page_test_util.h"
#include "screenshot.h"
#include "test_main.h"

class TestPageServices : public QObject {
  Q_OBJECT

  TestHttpServer server;
  FrameFixture* fx = nullptr;
  TMainForm* f = nullptr;

  TBrowserChild* open(const char* path, const QString& title) {
    f->OpenChild(QString(), server.url(path));
    TBrowserChild* c = f->ActiveMDIChild();
    if (c && !title.isEmpty()) (void)QTest::qWaitFor([&] { return c->windowTitle() == title; }, 20000);
    return c;
  }

 private slots:
  void initTestCase() {
    QVERIFY(server.isListening());
    TMozillaBrowser::setHostProgramForTests(QStringLiteral(ZELVO_TEST_HOST));
    server.pages["/loop.html"] =
        "<!DOCTYPE html><title>loop</title><p>loop</p><script>setTimeout(function(){for(;;) alert('ループ')},300)"
        "</script>";
    server.pages["/ask.html"] = "<!DOCTYPE html><title>ask</title><p>ask</p>";
    server.pages["/many.html"] =
        "<!DOCTYPE html><title>many</title><script>setTimeout(function(){for(var i=0;i<40;i++) alert('回 '+i);"
        "document.title='done'},300)</script>";
    server.pages["/opener.html"] =
        "<!DOCTYPE html><html><head><meta charset=utf-8><title>opener</title></head><body style='margin:0'>"
        "<button id=open style='width:200px;height:60px' onclick=\"window.open('/opened.html')\">開く</button>"
        "<script>addEventListener('message',function(e){document.title='got:'+e.data})</script></body></html>";
    server.pages["/opened.html"] =
        "<!DOCTYPE html><title>opened</title><p>opened</p>"
        "<script>window.opener && window.opener.postMessage('hello','*')</script>";
    server.pages["/three.html"] =
        "<!DOCTYPE html><title>three</title><body style='margin:0'>"
        "<button id=handler style='width:200px;height:60px' onclick=\"for(var i=0;i<3;i++)window.open('/ask.html');"
        "document.title='handler done'\">三つ</button><button id=timers style='width:200px;height:60px' "
        "onclick=\"setTimeout(function(){window.open('/ask.html');setTimeout(function(){window.open('/ask.html');"
        "setTimeout(function(){window.open('/ask.html');document.title='timers done'},50)},50)},50)\">入れ子</button>"
        "</body>";
    server.pages["/spawn.html"] = "<!DOCTYPE html><title>spawn</title><script>window.open(location.href)</script>";
    server.pages["/%E6%97%A5%E6%9C%AC.html"] = "<!DOCTYPE html><title>nihon</title><p>日本</p>";
  }

  void initTestCase_data() { addEngineRows(); }
  void init() {
    QFETCH_GLOBAL(QByteArray, config);
    fx = new FrameFixture;
    f = fx->startShown(config, QSize(1000, 750));
    QVERIFY(f);
  }
  void cleanup() {
    fx->stop();
    delete fx;
  }

  // The page's endless alert loop: the dialog belongs to its window only,
  // the frame stays usable and the window can be closed.
  void alertLoopLetsTheWindowAndFrameWork() {
    TBrowserChild* c = open("/loop.html", "loop");
    QVERIFY(c);
    QPointer<TBrowserChild> child(c);
    bool sawSecond = false, frameFree = false;
    TimedSteps steps;
    steps
        .when([] { return visibleWindow<QDialog>("PageDialog"); },
              [&] {
                auto* d = visibleWindow<QDialog>("PageDialog");
                QCOMPARE(d->findChild<QLabel*>("lblPageMessage")->text(), QString("ループ"));
                QVERIFY(d->windowTitle().contains("127.0.0.1"));
                QVERIFY(!d->findChild<QCheckBox*>("chkNoMoreDialogs"));  // not for the first one
                d->findChild<QPushButton*>("btnOK")->click();
              })
        .when([] { return visibleWindow<QDialog>("PageDialog"); },
              [&] {
                auto* d = visibleWindow<QDialog>("PageDialog");
                sawSecond = d->findChild<QCheckBox*>("chkNoMoreDialogs") != nullptr;
                // Nothing is modal: the frame's commands still run.
                frameFree = QApplication::activeModalWidget() == nullptr && f->isEnabled();
                f->FileNew1->trigger();
              })
        .when([&] { return f->MDIChildCount() == 2; },
              [&] {
                // Closing the looping window while its dialog is open.
                child->close();
              });
    QTRY_VERIFY_WITH_TIMEOUT(steps.done(), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(child.isNull(), 20000);
    QVERIFY(sawSecond);
    QVERIFY(frameFree);
    QCOMPARE(f->MDIChildCount(), 1);
    QTest::qWait(500);
    QVERIFY(!visibleWindow<QDialog>("PageDialog"));
    // The frame closes and writes its settings as always.
    f->close();
    QVERIFY(fx->config().contains("LastEngine="));
    QVERIFY(fx->errors.isEmpty());
  }

  void silencedPageRunsOnWithoutDialogs() {
    TBrowserChild* c = open("/many.html", "many");
    QVERIFY(c);
    int shown = 0;
    TimedSteps steps;
    steps.when([] { return visibleWindow<QDialog>("PageDialog"); },
               [&] {
                 ++shown;
                 visibleWindow<QDialog>("PageDialog")->findChild<QPushButton*>("btnOK")->click();
               });
    steps.when([] { return visibleWindow<QDialog>("PageDialog"); },
               [&] {
                 ++shown;
                 auto* d = visibleWindow<QDialog>("PageDialog");
                 screenshot(QStringLiteral("page-dialog-%1.png").arg(f->IE_item->isChecked() ? "ie" : "gekko"));
                 d->findChild<QCheckBox*>("chkNoMoreDialogs")->setChecked(true);
                 d->findChild<QPushButton*>("btnOK")->click();
               });
    QTRY_VERIFY_WITH_TIMEOUT(steps.done(), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QString("done"), 20000);
    QCOMPARE(shown, 2);
    QVERIFY(!visibleWindow<QDialog>("PageDialog"));
  }

  void confirmAndPromptAnswersReachThePage() {
    TBrowserChild* c = open("/ask.html", "ask");
    QVERIFY(c);
    TimedSteps steps;
    steps.when([] { return visibleWindow<QDialog>("PageDialog"); },
               [&] {
                 auto* d = visibleWindow<QDialog>("PageDialog");
                 QCOMPARE(d->findChild<QLabel*>("lblPageMessage")->text(), QString("続けますか?"));
                 d->findChild<QPushButton*>("btnOK")->click();
               });
    steps.when([] { return visibleWindow<QDialog>("PageDialog"); },
               [&] {
                 auto* d = visibleWindow<QDialog>("PageDialog");
                 auto* input = d->findChild<QLineEdit*>("txtPageInput");
                 QCOMPARE(input->text(), QString("既定"));
                 input->setText("山田");
                 d->findChild<QPushButton*>("btnOK")->click();
               });
    steps.when([] { return visibleWindow<QDialog>("PageDialog"); },
               [&] { visibleWindow<QDialog>("PageDialog")->findChild<QPushButton*>("btnCancel")->click(); });
    pageScript(
        c,
        "setTimeout(function(){var a=confirm('続けますか?');var b=prompt('名前','既定');var x=confirm('もう一度?');"
        "document.title=a+':'+b+':'+x},0);1");
    QTRY_VERIFY_WITH_TIMEOUT(steps.done(), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QString("true:山田:false"), 20000);
  }

  void scriptedPopupsAreBlocked() {
    TBrowserChild* c = open("/spawn.html", "spawn");
    QVERIFY(c);
    QTRY_VERIFY_WITH_TIMEOUT(f->StatusPanel0->text().contains("ブロック"), 20000);
    QTest::qWait(1000);
    QCOMPARE(f->MDIChildCount(), 1);
  }

  void clickedPopupKeepsItsOpenerAndClosesItself() {
    TBrowserChild* c = open("/opener.html", "opener");
    QVERIFY(c);
    QTRY_VERIFY(!c->Control()->Busy());
    QVERIFY(clickElement(c, "#open"));
    QTRY_COMPARE_WITH_TIMEOUT(f->MDIChildCount(), 2, 20000);
    TBrowserChild* opened = f->ActiveMDIChild();
    QVERIFY(opened != c);
    QCOMPARE(opened->IsIE(), c->IsIE());
    QTRY_COMPARE_WITH_TIMEOUT(opened->windowTitle(), QString("opened"), 20000);
    // The opened page reached its opener.
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QString("got:hello"), 20000);
    QCOMPARE(pageScript(opened, "String(window.opener !== null)"), QString("true"));
    // Its own script closes it.
    QPointer<TBrowserChild> gone(opened);
    pageScript(opened, "setTimeout(function(){window.close()},0);1");
    QTRY_VERIFY_WITH_TIMEOUT(gone.isNull(), 20000);
    QCOMPARE(f->MDIChildCount(), 1);
    QVERIFY(fx->errors.isEmpty());
  }

  // However many windows a click's handler asks for, at once or in timers
  // it starts, one opens.
  void onePopupPerClick() {
    TBrowserChild* c = open("/three.html", "three");
    QVERIFY(c);
    QTRY_VERIFY(!c->Control()->Busy());
    for (const QString button : {"handler", "timers"}) {
      QVERIFY(clickElement(c, '#' + button));
      QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), button + " done", 20000);
      QCOMPARE(f->MDIChildCount(), 2);
      for (QMdiSubWindow* w : f->MDIChildren())
        if (w != c) w->close();
      QTRY_COMPARE_WITH_TIMEOUT(f->MDIChildCount(), 1, 20000);
    }
    QVERIFY(fx->errors.isEmpty());
  }

  void addressesAreShownReadable() {
    const qsizetype before = server.requested.count("/%E6%97%A5%E6%9C%AC.html");
    TBrowserChild* c = open("/%E6%97%A5%E6%9C%AC.html", "nihon");
    QVERIFY(c);
    QTRY_COMPARE_WITH_TIMEOUT(f->txtAddress->text(), server.url("/日本.html"), 10000);
    // What is shown goes to the same page again.
    f->txtAddress->setText(f->txtAddress->text());
    QTest::keyClick(f->txtAddress, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(server.requested.count("/%E6%97%A5%E6%9C%AC.html"), before + 2, 20000);
  }
};

ZELVO_TEST_MAIN(TestPageServices)
#include "test_page_services.moc"
