// Browser children over the scripted engine control: opening, mirroring the
// page state into the frame, saved button states, progress arithmetic,
// new-window requests, closing, and the browsing commands.
#include <QAccessible>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QWindow>

#include "bookmarks/bookmark_editor.h"
#include "browser/browser_child.h"
#include "browser/progress.h"
#include "fake_engine_control.h"
#include "frame_fixture.h"
#include "screenshot.h"
#include "test_main.h"

namespace {

FakeEngineControl* fake(TBrowserChild* c) { return static_cast<FakeEngineControl*>(c->Control()); }

struct Buttons {
  bool back, forward, stop, reload;
  bool operator==(const Buttons&) const = default;
};
Buttons buttons(TMainForm* f) {
  return {f->BackCtrl->isEnabled(), f->FrwrdCtrl->isEnabled(), f->StopCtrl->isEnabled(), f->ReLoadCtrl->isEnabled()};
}

}  // namespace

class TestChildren : public QObject {
  Q_OBJECT

  FrameFixture* fx = nullptr;
  TMainForm* f = nullptr;

  TBrowserChild* open(bool ie, const QString& caption = QString(), const QString& url = QString()) {
    (ie ? f->IE_item : f->Moz_Item)->setChecked(true);
    (ie ? f->Moz_Item : f->IE_item)->setChecked(false);
    f->OpenChild(caption, url);
    return f->ActiveMDIChild();
  }

 private slots:
  void init() {
    TBrowserChild::setControlFactoryForTests(
        [](bool ie, QWidget* parent) -> IWebBrowser2* { return new FakeEngineControl(ie, parent); });
    fx = new FrameFixture;
    fx->writeConfig("[General]\nLastEngine=IE\n");
    f = fx->start();
    f->resize(900, 700);
  }
  void cleanup() {
    fx->stop();
    delete fx;
    TBrowserChild::setControlFactoryForTests({});
  }

  void openingFollowsTheEngineMenu() {
    f->FileNew1->trigger();
    TBrowserChild* ie = f->ActiveMDIChild();
    QVERIFY(qobject_cast<Tfrm_IE*>(ie));
    QCOMPARE(ie->windowTitle(), QString("Internet Explorer"));
    QCOMPARE(fake(ie)->calls, QStringList{"Navigate:"});

    f->Moz_Item->setEnabled(true);
    f->Moz_Item->trigger();
    f->ToolButton1->click();
    TBrowserChild* mz = f->ActiveMDIChild();
    QVERIFY(qobject_cast<Tfrm_MZ*>(mz));
    QCOMPARE(mz->windowTitle(), QString("Gecko"));
    QCOMPARE(fake(mz)->calls, QStringList{"Navigate:about:blank"});
    QCOMPARE(f->MDIChildCount(), 2);

    // Activation enables the page commands; the size menu only for IE.
    QVERIFY(f->mnuFile_SaveAs->isEnabled() && f->mnuEdit_Copy->isEnabled() && f->mnuEdit_slrAll->isEnabled());
    QVERIFY(!f->mnuShow_Size->isEnabled());
    f->MDIClient->setActiveSubWindow(ie);
    QVERIFY(f->mnuShow_Size->isEnabled());
    QVERIFY(f->mnuSize_middle->isChecked());

    // The control fills the child's content area and follows its size.
    ie->resize(500, 400);
    QCOMPARE(ie->Control()->geometry(), ie->contentsRect());
    QVERIFY(fx->errors.isEmpty());
  }

  void eventsFillTheFrame() {
    TBrowserChild* c = open(true, "", "http://a/");
    auto* e = fake(c);
    e->status("http://a/link");
    QCOMPARE(f->StatusPanel0->text(), QString("http://a/link"));
    QCOMPARE(c->LastStatus, QString("http://a/link"));
    e->location = "http://a/page";
    e->title("ページ");
    QCOMPARE(c->windowTitle(), QString("ページ"));
    QCOMPARE(f->txtAddress->text(), QString("http://a/page"));

    e->commandState(CSC_NAVIGATEBACK, true);
    QCOMPARE(buttons(f), (Buttons{true, false, false, true}));
    e->commandState(7, false);  // other commands only enable Reload
    QCOMPARE(buttons(f), (Buttons{true, false, false, true}));
    QCOMPARE(c->BackEnable, TBrowserChild::kTrue);
    QCOMPARE(c->ReLoadEnable, TBrowserChild::kTrue);
    QCOMPARE(c->FrwrdEnable, TBrowserChild::kFalse);
  }

  void savedButtonStatesAcrossChildren() {
    TBrowserChild* a = open(true);
    fake(a)->commandState(CSC_NAVIGATEBACK, true);
    fake(a)->progressTo(50, 100);  // Stop enabled while loading
    QCOMPARE(buttons(f), (Buttons{true, false, true, true}));

    // A new child starts with Back, Forward, Stop of the one before, no Reload.
    TBrowserChild* b = open(true);
    QCOMPARE(b->BackEnable, TBrowserChild::kTrue);
    QCOMPARE(b->StopEnable, TBrowserChild::kTrue);
    QCOMPARE(b->ReLoadEnable, TBrowserChild::kFalse);
    QCOMPARE(buttons(f), (Buttons{true, false, true, false}));

    // An inactive child still drives the frame, and its command-state event
    // stores the frame's states in the active child.
    fake(a)->commandState(CSC_NAVIGATEFORWARD, true);
    QCOMPARE(buttons(f), (Buttons{true, true, true, true}));
    QCOMPARE(b->FrwrdEnable, TBrowserChild::kTrue);
    QCOMPARE(a->FrwrdEnable, TBrowserChild::kFalse);
    fake(a)->status("from a");
    QCOMPARE(f->StatusPanel0->text(), QString("from a"));

    // Activating a child restores its own saved states: those of its last
    // command-state event (progress saves nothing, so Stop was still off).
    f->MDIClient->setActiveSubWindow(a);
    QCOMPARE(buttons(f), (Buttons{true, false, false, true}));
  }

  void progressRules() {
    TBrowserChild* ie = open(true);
    auto* e = fake(ie);
    e->progressTo(30, 60);
    QCOMPARE(f->ProgressBar1->value(), 50);
    QCOMPARE(ie->Tag, 30);
    e->progressTo(5, 0);  // only the maximum 0: bar unchanged
    QCOMPARE(f->ProgressBar1->value(), 50);
    e->progressTo(100, 100);
    QCOMPARE(f->ProgressBar1->value(), 100);
    QVERIFY(!f->StopCtrl->isEnabled());
    e->progressTo(0, 0);
    QCOMPARE(f->ProgressBar1->value(), 0);
    QVERIFY(!f->StopCtrl->isEnabled());

    TBrowserChild* mz = open(false);
    auto* m = fake(mz);
    m->progressTo(40, 80);
    QCOMPARE(f->ProgressBar1->value(), 50);
    QVERIFY(f->StopCtrl->isEnabled());
    m->progressTo(0, 80);  // no position computed
    QCOMPARE(f->ProgressBar1->value(), 50);
    m->progressTo(100, 100);  // reaching 100 resets the bar
    QCOMPARE(f->ProgressBar1->value(), 0);
    QVERIFY(!f->StopCtrl->isEnabled());
    // A finished load stays finished when the child is activated again.
    QCOMPARE(mz->Tag, 0);
    f->MDIClient->setActiveSubWindow(ie);
    QCOMPARE(f->ProgressBar1->value(), 0);
    ie->Tag = 70;
    f->MDIClient->setActiveSubWindow(mz);
    f->MDIClient->setActiveSubWindow(ie);
    QCOMPARE(f->ProgressBar1->value(), 70);
    f->MDIClient->setActiveSubWindow(mz);
    QCOMPARE(f->ProgressBar1->value(), 0);
    // While a load runs the raw progress is kept as before.
    m->progressTo(40, 80);
    QCOMPARE(mz->Tag, 40);

    // A raw progress above 100 shows a full bar when the child is activated.
    m->progressTo(250, 0);
    QCOMPARE(mz->Tag, 250);
    f->MDIClient->setActiveSubWindow(ie);
    f->MDIClient->setActiveSubWindow(mz);
    QCOMPARE(f->ProgressBar1->value(), 100);

    // 32-bit arithmetic: the product wraps, the quotient truncates to zero.
    QCOMPARE(progress::scaled(50, 100), 50);
    QCOMPARE(progress::scaled(-7, 2), -350);
    QCOMPARE(progress::scaled(7, -200), -3);
    QCOMPARE(progress::scaled(30000000, 1), -1294967296);  // 3e9 wraps
    // 2^29 * 100 wraps to the lowest 32-bit value; divided by -1 it stays there.
    QCOMPARE(progress::scaled(536870912, -1), std::numeric_limits<qint32>::min());
    QCOMPARE(progress::ieNewPosition(0, 0), std::optional<qint32>(0));
    QCOMPARE(progress::ieNewPosition(3, 0), std::nullopt);
    QCOMPARE(progress::geckoNewPosition(3, 0), std::nullopt);
    QCOMPARE(progress::clampToBar(-5), 0);
    QCOMPARE(progress::clampToBar(250), 100);
  }

  void newWindowRequests_data() {
    QTest::addColumn<bool>("ie");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("asked");
    QTest::addColumn<QString>("loaded");
    const QString web = "http://page.example/";
    QTest::newRow("web address") << true << web << "http://asked/"
                                 << "http://asked/";
    QTest::newRow("no address, a link hovered") << false << web << ""
                                                << "about:blank";
    QTest::newRow("browser page") << true << web << "chrome://version"
                                  << "about:blank";
    QTest::newRow("local file from a web page") << false << web << "file:///etc/passwd"
                                                << "about:blank";
    QTest::newRow("local file from a local page") << true << "file:///home/a.html"
                                                  << "file:///etc/hosts"
                                                  << "file:///etc/hosts";
  }
  void newWindowRequests() {
    QFETCH(bool, ie);
    QFETCH(QString, page);
    QFETCH(QString, asked);
    QFETCH(QString, loaded);
    TBrowserChild* opener = open(ie);
    fake(opener)->location = page;
    fake(opener)->status("file:///etc/passwd");
    // The engine menu says the other engine: the opener's engine wins, and
    // the caption names the asking kind.
    (ie ? f->Moz_Item : f->IE_item)->trigger();
    QVERIFY(fake(opener)->newWindow(asked));
    TBrowserChild* opened = f->ActiveMDIChild();
    QVERIFY(opened != opener);
    QCOMPARE(opened->IsIE(), ie);
    QCOMPARE(opened->windowTitle(), ie ? QString("Internet Explorer") : QString("Mozilla"));
    // Without an engine page to hand over, the frame loads only what is as
    // safe as the page's own navigation; never the hovered link.
    QCOMPARE(fake(opened)->calls, QStringList{"Navigate:" + loaded});
  }

  void closingResetsTheFrame() {
    TBrowserChild* a = open(true, "", "http://a/");
    fake(a)->location = "http://a/";
    fake(a)->status("s");
    fake(a)->commandState(CSC_NAVIGATEBACK, true);
    fake(a)->progressTo(40, 100);
    TBrowserChild* b = open(true);
    fake(b)->location = "http://b/";
    b->close();
    // The other child is activated and refills the display.
    QTRY_COMPARE(f->MDIChildCount(), 1);
    QTRY_COMPARE(f->ActiveMDIChild(), a);
    QCOMPARE(f->txtAddress->text(), QString("http://a/"));
    QVERIFY(f->mnuFile_SaveAs->isEnabled());

    f->FileClose1->trigger();
    QTRY_COMPARE(f->MDIChildCount(), 0);
    QCOMPARE(f->txtAddress->text(), QString());
    QCOMPARE(f->StatusPanel0->text(), QString());
    QCOMPARE(f->ProgressBar1->value(), 0);
    QCOMPARE(buttons(f), (Buttons{false, false, false, false}));
    for (QAction* x : {f->mnuFile_SaveAs, f->mnuEdit_Copy, f->mnuEdit_slrAll}) QVERIFY(!x->isEnabled());
    QVERIFY(!f->mnuShow_Size->isEnabled());
    QVERIFY(!f->FileClose1->isEnabled());
  }

  void optionFolderIsEnteredBeforeEveryWindow() {
    QTemporaryDir moz;
    fx->writeConfig(QString("[Option]\nMozilla=1\nMozPath=%1\n").arg(moz.path()).toUtf8());
    open(true);
    QCOMPARE(QDir::currentPath(), QDir(moz.path()).canonicalPath());
    QDir::setCurrent(fx->dir.path());

    fx->writeConfig("[Option]\nMozilla=1\nMozPath=/no/such/folder\n");
    const int before = f->MDIChildCount();
    f->FileNew1->trigger();
    QCOMPARE(f->MDIChildCount(), before);
    QCOMPARE(fx->errors, QStringList{"/no/such/folder に移動できません."});

    // The dialog's own keys never move the working directory.
    fx->errors.clear();
    fx->writeConfig(QString("[Option_Main]\nMozilla=1\nMozPath=%1\n").arg(moz.path()).toUtf8());
    open(true);
    QCOMPARE(QDir::currentPath(), QDir(fx->dir.path()).canonicalPath());
  }

  void moveCommand() {
    // No child: a new window at the typed address, whatever the setting.
    f->txtAddress->setText("example.org");
    QTest::keyClick(f->txtAddress, Qt::Key_Return);
    QCOMPARE(f->MDIChildCount(), 1);
    TBrowserChild* c = f->ActiveMDIChild();
    QCOMPARE(c->windowTitle(), QString());
    QCOMPARE(fake(c)->calls, QStringList{"Navigate:example.org"});

    // "AddressBar" 0: the active window goes there.
    f->txtAddress->setText("http://second/");
    f->btnMove->click();
    QCOMPARE(f->MDIChildCount(), 1);
    QCOMPARE(fake(c)->calls.last(), QString("Navigate:http://second/"));

    // Its low byte 1 (here 257): a new window.
    fx->writeConfig("[Option_Window]\nAddressBar=257\n");
    f->btnMove->click();
    QCOMPARE(f->MDIChildCount(), 2);
  }

  void pageCommands() {
    // Without a child nothing happens and nothing fails.
    f->BackCtrlClick();
    f->mnuFile_SaveAsClick();
    f->TextSizeCommand(3);
    QCOMPARE(f->MojiSize, 2);

    TBrowserChild* ie = open(true);
    auto* e = fake(ie);
    e->calls.clear();
    f->BackCtrlClick();
    f->FrwrdCtrlClick();
    f->StopCtrlClick();
    f->ReLoadCtrlClick();
    f->mnuFile_SaveAs->trigger();
    f->mnuEdit_Copy->trigger();
    f->mnuEdit_slrAll->trigger();
    QCOMPARE(e->calls,
             (QStringList{"GoBack", "GoForward", "Stop", "Refresh", "ExecWB:4:1:-", "ExecWB:12:0:-", "ExecWB:17:0:-"}));
    TBrowserChild* mz = open(false);
    f->mnuFile_SaveAs->trigger();
    QCOMPARE(fake(mz)->calls.last(), QString("ExecWB:4:0:-"));

    // Text size: refused while loading, else sent and checked.
    f->MDIClient->setActiveSubWindow(ie);
    e->calls.clear();
    e->busy = true;
    f->mnuSize_Max->trigger();
    QVERIFY(e->calls.isEmpty());
    QVERIFY(f->mnuSize_middle->isChecked() && !f->mnuSize_Max->isChecked());
    e->busy = false;
    f->mnuSize_Max->trigger();
    QCOMPARE(e->calls, QStringList{"ExecWB:19:2:4"});
    QVERIFY(f->mnuSize_Max->isChecked() && !f->mnuSize_middle->isChecked());
    QCOMPARE(f->MojiSize, 4);
    QCOMPARE(static_cast<Tfrm_IE*>(ie)->ChildMojiSize, quint8(4));
    // A new IE child shows the size but sends nothing to its control.
    TBrowserChild* ie2 = open(true);
    QCOMPARE(static_cast<Tfrm_IE*>(ie2)->ChildMojiSize, quint8(4));
    QCOMPARE(fake(ie2)->calls, QStringList{"Navigate:"});

    // A failing call is reported; the child stays open.
    e->failNext = true;
    f->MDIClient->setActiveSubWindow(ie);
    f->BackCtrl->setEnabled(true);
    f->BackCtrl->click();
    QCOMPARE(fx->errors, QStringList{"エンジンの操作に失敗しました."});
    QCOMPARE(f->MDIChildCount(), 3);
  }

  void storedTextSize_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("mojiSize");
    QTest::addColumn<QString>("checked");
    QTest::newRow("absent") << QByteArray() << 2 << "mnuSize_middle";
    QTest::newRow("0") << QByteArray("0") << 0 << "mnuSize_Min";
    QTest::newRow("7") << QByteArray("7") << 7 << "";
    QTest::newRow("258") << QByteArray("258") << 2 << "mnuSize_middle";
    QTest::newRow("-1") << QByteArray("-1") << 255 << "";
  }
  void storedTextSize() {
    QFETCH(QByteArray, value);
    QFETCH(int, mojiSize);
    QFETCH(QString, checked);
    fx->stop();
    fx->writeConfig(value.isEmpty() ? QByteArray() : "[General]\nLastMojiSize=" + value + "\n");
    f = fx->start();
    QCOMPARE(f->MojiSize, mojiSize);
    for (QAction* a : f->mnuShow_Size->actions()) QCOMPARE(a->isChecked(), a->objectName() == checked);
    TBrowserChild* ie = open(true);
    QCOMPARE(static_cast<Tfrm_IE*>(ie)->ChildMojiSize, quint8(mojiSize & 0xFF));
    f->close();
    QVERIFY(fx->config().contains("LastMojiSize=" + QByteArray::number(mojiSize) + "\n"));
  }

  void pageTextIsShownAsItIs() {
    TBrowserChild* c = open(true, "", "http://a/");
    auto* e = fake(c);
    // Markup in a status text is text.
    e->status("<b>bold</b> &amp; <a href='x'>link</a>");
    QCOMPARE(f->StatusPanel0->textFormat(), Qt::PlainText);
    QCOMPARE(f->StatusPanel0->text(), QString("<b>bold</b> &amp; <a href='x'>link</a>"));

    // A title holding Qt's placeholder for the modified mark keeps it: in
    // the caption, in the window menu and in the frame's title when the
    // child is maximised.
    e->title("a [*] b [*][*]");
    QCOMPARE(c->Caption(), QString("a [*] b [*][*]"));
    // What a screen reader reads of the window.
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(c);
    QVERIFY(window);
    QCOMPARE(window->role(), QAccessible::Window);
    QCOMPARE(window->text(QAccessible::Name), QString("a [*] b [*][*]"));
    emit f->Window1->aboutToShow();
    QStringList listed;
    for (QAction* a : f->Window1->actions())
      if (a->text().startsWith("&1")) listed << a->text();
    QCOMPARE(listed, QStringList{"&1 a [*] b [*][*]"});
    screenshot(QStringLiteral("chooser-title-star-child.png"));
    c->showMaximized();
    QTRY_VERIFY(f->windowHandle()->title().contains("[a [*] b [*][*]]"));
    screenshot(QStringLiteral("chooser-title-star-maximised.png"));
    c->showNormal();
    f->mnuBMEdit->trigger();
    QCOMPARE(frm_BMEdit->txtName->text(), QString("a [*] b [*][*]"));
    frm_BMEdit->hide();

    // An address far beyond 32 767 characters is held whole, and Enter
    // sends exactly what the box holds.
    const QString longUrl = "http://a/?q=" + QString(70000, u'x') + "&end=1";
    f->txtAddress->setText(longUrl);
    QCOMPARE(f->txtAddress->text(), longUrl);
    e->calls.clear();
    QTest::keyClick(f->txtAddress, Qt::Key_Return);
    QCOMPARE(e->calls, QStringList{"Navigate:" + longUrl});
    f->btnMove->click();
    QCOMPARE(e->calls.size(), 2);
    QCOMPARE(e->calls.last(), "Navigate:" + longUrl);
    QVERIFY(fx->errors.isEmpty());
  }
};

ZELVO_TEST_MAIN(TestChildren)
#include "test_children.moc"
