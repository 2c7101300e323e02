// The WebEngine children with real pages from a local server: loading,
// title and address, history buttons, new-window requests, Save As, Copy,
// text size, and a renderer that dies.
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <csignal>

#include "browser/browser_child.h"
#include "engine/webengine/web_engine_control.h"
#include "frame_fixture.h"
#include "http_server.h"
#include "page/save_dialog.h"
#include "page_test_util.h"
#include "test_main.h"

namespace {

QWebEngineView* viewOf(TBrowserChild* c) { return static_cast<TWebBrowser*>(c->Control())->view(); }

QVariant js(TBrowserChild* c, const QString& script) {
  QVariant result;
  bool done = false;
  viewOf(c)->page()->runJavaScript(script, [&](const QVariant& v) {
    result = v;
    done = true;
  });
  for (int i = 0; i < 200 && !done; ++i) QTest::qWait(25);
  return result;
}

}  // namespace

class TestWebEngine : public QObject {
  Q_OBJECT

  TestHttpServer server;
  FrameFixture* fx = nullptr;
  TMainForm* f = nullptr;

 private slots:
  void initTestCase() {
    server.pages["/a.html"] =
        "<!DOCTYPE html><html><head><meta charset=utf-8><title>ページA</title></head><body>"
        "<p id=text>こんにちは世界</p><a id=blank href=\"/b.html\" target=\"_blank\">B</a>"
        "<p style=\"width:2000px\">wide</p></body></html>";
    server.pages["/b.html"] = "<!DOCTYPE html><title>ページB</title><p>B</p>";
    server.pages["/c.html"] = "<!DOCTYPE html><title>ページC</title><p>C</p>";
    QVERIFY(server.isListening());
  }

  void init() {
    fx = new FrameFixture;
    fx->writeConfig("[General]\nLastEngine=IE\n");
    f = fx->start();
    f->resize(1000, 750);
  }
  void cleanup() {
    fx->stop();
    delete fx;
  }

  void loadHistoryAndTitle() {
    f->txtAddress->setText(server.url("/a.html"));
    f->btnMove->click();
    TBrowserChild* c = f->ActiveMDIChild();
    QVERIFY(c);
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QString("ページA"), 20000);
    QTRY_VERIFY(!c->Control()->Busy());
    QCOMPARE(f->txtAddress->text(), server.url("/a.html"));
    QCOMPARE(f->ProgressBar1->value(), 0);  // back to 0 once loaded
    QVERIFY(!f->StopCtrl->isEnabled());
    QVERIFY(f->ReLoadCtrl->isEnabled());
    QVERIFY(!f->BackCtrl->isEnabled());

    // The address box sends the active window on.
    f->txtAddress->setText(server.url("/c.html"));
    QTest::keyClick(f->txtAddress, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QString("ページC"), 20000);
    QCOMPARE(f->MDIChildCount(), 1);
    QTRY_VERIFY(f->BackCtrl->isEnabled());
    f->BackCtrl->click();
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QString("ページA"), 20000);
    QTRY_VERIFY(f->FrwrdCtrl->isEnabled());
    f->FrwrdCtrl->click();
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QString("ページC"), 20000);
    QVERIFY(fx->errors.isEmpty());
  }

  void newWindowRequests() {
    f->OpenChild(QString(), server.url("/a.html"));
    TBrowserChild* c = f->ActiveMDIChild();
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QString("ページA"), 20000);

    // A click of the user's opens the link's window.
    QTRY_VERIFY(!c->Control()->Busy());
    QVERIFY(clickElement(c, "#blank"));
    QTRY_COMPARE_WITH_TIMEOUT(f->MDIChildCount(), 2, 20000);
    TBrowserChild* opened = f->ActiveMDIChild();
    QVERIFY(opened != c);
    QTRY_COMPARE_WITH_TIMEOUT(opened->windowTitle(), QString("ページB"), 20000);
    QCOMPARE(opened->Control()->LocationURL(), server.url("/b.html"));

    // A script that no click started opens nothing; the status panel says so.
    js(c, "window.open('/c.html')");
    QTRY_VERIFY_WITH_TIMEOUT(f->StatusPanel0->text().contains("ブロック"), 20000);
    QCOMPARE(f->MDIChildCount(), 2);
  }

  void saveCopyAndTextSize() {
    f->OpenChild(QString(), server.url("/a.html"));
    TBrowserChild* c = f->ActiveMDIChild();
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QString("ページA"), 20000);
    QTRY_VERIFY(!c->Control()->Busy());

    const QString target = fx->path("saved.html");
    QString suggested;
    setSaveAsAnswerForTests([&](const QString& name, const QList<SaveFormat>& formats) {
      suggested = name;
      return SaveChoice{target, formats[1].id};  // HTML only
    });
    f->mnuFile_SaveAs->trigger();
    setSaveAsAnswerForTests({});
    QCOMPARE(suggested, QString("ページA"));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(target).size() > 0, 20000);
    auto savedText = [&] {
      QFile saved(target);
      return saved.open(QIODevice::ReadOnly) ? saved.readAll() : QByteArray();
    };
    QTRY_VERIFY_WITH_TIMEOUT(savedText().contains("こんにちは世界"), 10000);

    QGuiApplication::clipboard()->clear();
    f->mnuEdit_slrAll->trigger();
    f->mnuEdit_Copy->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(QGuiApplication::clipboard()->text().contains("こんにちは世界"), 10000);

    const int normalWidth = js(c, "window.innerWidth").toInt();
    f->mnuSize_Max->trigger();
    QCOMPARE(viewOf(c)->zoomFactor(), 1.5);
    QTRY_VERIFY(js(c, "window.innerWidth").toInt() < normalWidth);
    f->mnuSize_Min->trigger();
    QCOMPARE(viewOf(c)->zoomFactor(), 0.75);
    QTRY_VERIFY(js(c, "window.innerWidth").toInt() > normalWidth);
    QVERIFY(f->mnuSize_Min->isChecked());
    QVERIFY(fx->errors.isEmpty());
  }

  void deadRendererShowsAnErrorPageInItsChildOnly() {
    f->OpenChild(QString(), server.url("/a.html"));
    TBrowserChild* a = f->ActiveMDIChild();
    QTRY_COMPARE_WITH_TIMEOUT(a->windowTitle(), QString("ページA"), 20000);
    const qint64 pid = viewOf(a)->page()->renderProcessPid();
    QVERIFY(pid > 0);
    ::kill(static_cast<pid_t>(pid), SIGKILL);
    QTRY_COMPARE_WITH_TIMEOUT(a->windowTitle(), QString("ページを表示できません"), 20000);
    QCOMPARE(a->Control()->LocationURL(), server.url("/a.html"));

    // The frame goes on: another window loads, and reload brings the page back.
    f->OpenChild(QString(), server.url("/b.html"));
    QTRY_COMPARE_WITH_TIMEOUT(f->ActiveMDIChild()->windowTitle(), QString("ページB"), 20000);
    f->MDIClient->setActiveSubWindow(a);
    f->ReLoadCtrlClick();
    QTRY_COMPARE_WITH_TIMEOUT(a->windowTitle(), QString("ページA"), 20000);
    QVERIFY(fx->errors.isEmpty());
  }

  void typedAddresses() {
    // A path without a scheme is a local file; an unknown host an error
    // page of the engine, never a crash.
    QFile page(fx->path("local.html"));
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.write("<title>ローカル</title>");
    page.close();
    f->txtAddress->setText(fx->path("local.html"));
    f->btnMove->click();
    TBrowserChild* c = f->ActiveMDIChild();
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QString("ローカル"), 20000);
    QVERIFY(c->Control()->LocationURL().startsWith("file:///"));
    f->txtAddress->setText("no-such-host.invalid");
    f->btnMove->click();
    QTRY_VERIFY2_WITH_TIMEOUT(c->Control()->LocationURL().startsWith("http://no-such-host.invalid"),
                              qPrintable(c->Control()->LocationURL()), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!c->Control()->Busy(), 20000);
    QVERIFY(fx->errors.isEmpty());
  }
};

ZELVO_TEST_MAIN(TestWebEngine)
#include "test_web_engine.moc"
