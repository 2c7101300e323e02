// The frame: start-up state, engine choice, what closing writes, the window
// menu's arrangements, bar fitting and the version box.
#include <sys/stat.h>

#include <QAction>
#include <QActionGroup>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QWindow>
#include <tuple>

#include "app/about_box.h"
#include "app/window_arrange.h"
#include "browser/browser_child.h"
#include "fake_engine_control.h"
#include "frame_fixture.h"
#include "options/option_form.h"
#include "test_main.h"

class TestFrame : public QObject {
  Q_OBJECT

 private slots:
  void firstStartWithoutConfig() {
    FrameFixture fx;
    TMainForm* f = fx.start();
    QVERIFY(f->isVisible());
    QCOMPARE(f->windowTitle(), QString("Zelvo"));
    QVERIFY(f->IE_item->isChecked());
    QVERIFY(!f->Moz_Item->isChecked());
    QVERIFY(!f->Moz_Item->isEnabled());
    QVERIFY(f->mnuSize_middle->isChecked());
    QCOMPARE(f->MojiSize, 2);
    QCOMPARE(f->MDIChildCount(), 0);
    for (QAction* a : {f->mnuFile_SaveAs, f->mnuEdit_Copy, f->mnuEdit_slrAll, f->FileClose1, f->WindowCascade1,
                       f->WindowTileHorizontal1, f->WindowTileVertical1, f->WindowMinimizeAll1, f->WindowArrangeAll1})
      QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
    QVERIFY(!f->mnuShow_Size->isEnabled());
    for (QToolButton* b : {f->BackCtrl, f->FrwrdCtrl, f->StopCtrl, f->ReLoadCtrl}) QVERIFY(!b->isEnabled());
    QVERIFY(fx.errors.isEmpty());

    QSignalSpy closed(f, &TMainForm::Closed);
    f->FileExit1->trigger();
    QCOMPARE(closed.count(), 1);
    QVERIFY(fx.config().startsWith("[General]\nLastEngine=IE\nLastMojiSize=2\n"));
    fx.stop();
  }

  void aConfigThatIsNoFileCountsAsMissing() {
    // A FIFO under the name: never opened (nobody writes it, so a read would
    // wait for ever), and the first-run options dialog opens as without one.
    FrameFixture fx;
    QVERIFY(::mkfifo(QFile::encodeName(fx.configPath()).constData(), 0600) == 0);
    TMainForm* f = fx.start();
    QVERIFY(f->isVisible());
    bool optionsShown = false;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* o = qobject_cast<Tfrm_Option*>(w); o && o->isVisible()) optionsShown = true;
    QVERIFY(optionsShown);
    QVERIFY(f->IE_item->isChecked());
    QVERIFY(!f->Moz_Item->isEnabled());
    QVERIFY(fx.errors.isEmpty());
    fx.stop();
    QFileInfo still(fx.configPath());
    QVERIFY(still.exists() && !still.isFile() && !still.isDir());
  }

  void lastEngine_data() {
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<bool>("ie");
    QTest::addColumn<bool>("mozEnabled");
    QTest::newRow("IE") << QByteArray("[General]\nLastEngine=IE\n") << true << false;
    QTest::newRow("ie lower case") << QByteArray("[General]\nLastEngine=ie\n") << false << false;
    QTest::newRow("Gecko, Mozilla 0") << QByteArray("[General]\nLastEngine=Gecko\n") << false << false;
    QTest::newRow("empty value") << QByteArray("[General]\nLastEngine=\n") << false << false;
    QTest::newRow("missing key") << QByteArray("[General]\nOther=1\n") << true << false;
    QTest::newRow("Gecko enabled") << QByteArray("[General]\nLastEngine=Gecko\n[Option_Main]\nMozilla=1\n") << false
                                   << true;
    QTest::newRow("Mozilla 2 counts") << QByteArray("[Option_Main]\nMozilla=2\n") << true << true;
  }
  void lastEngine() {
    QFETCH(QByteArray, config);
    QFETCH(bool, ie);
    QFETCH(bool, mozEnabled);
    FrameFixture fx;
    fx.writeConfig(config);
    TMainForm* f = fx.start();
    QCOMPARE(f->IE_item->isChecked(), ie);
    QCOMPARE(f->Moz_Item->isChecked(), !ie);
    QCOMPARE(f->Moz_Item->isEnabled(), mozEnabled);
    // The choice changes only through the two items, and is saved at close.
    f->IE_item->trigger();
    QVERIFY(f->IE_item->isChecked() && !f->Moz_Item->isChecked());
    f->IE_item->trigger();  // choosing the checked item keeps it checked
    QVERIFY(f->IE_item->isChecked());
    f->Moz_Item->setEnabled(true);
    f->Moz_Item->trigger();
    QVERIFY(!f->IE_item->isChecked() && f->Moz_Item->isChecked());
    f->close();
    QVERIFY(fx.config().contains("LastEngine=Gecko\n"));
    fx.stop();
  }

  void closeKeepsOtherLinesAndReportsFailedWrites() {
    FrameFixture fx;
    fx.writeConfig("; mine\n[General]\nLastMojiSize=4\nKeep=this\n");
    TMainForm* f = fx.start();
    QVERIFY(f->mnuSize_Max->isChecked());
    f->close();
    QVERIFY(fx.config().startsWith("; mine\n[General]\nLastMojiSize=4\nKeep=this\nLastEngine=IE\n"));
    fx.stop();

    // A folder standing where config.ini should be: the box says so, and the
    // frame still closes.
    FrameFixture bad;
    QDir().mkdir(bad.configPath());
    f = bad.start();
    QSignalSpy closed(f, &TMainForm::Closed);
    f->close();
    QCOMPARE(closed.count(), 1);
    QCOMPARE(bad.errors, QStringList{bad.configPath() + " に書き込めません."});
    bad.stop();
  }

  void windowMenuArrangesChildren() {
    FrameFixture fx;
    TMainForm* f = fx.start();
    f->resize(900, 700);
    QList<QMdiSubWindow*> children;
    for (int i = 0; i < 3; ++i) {
      auto* w = f->MDIClient->addSubWindow(new QLabel(QString("child %1").arg(i)));
      w->setWindowTitle(QString("child %1").arg(i));
      w->resize(200, 150);
      w->show();
      children << w;
    }
    f->MDIClient->setActiveSubWindow(children.last());
    QVERIFY(f->WindowTileHorizontal1->isEnabled());
    QVERIFY(f->FileClose1->isEnabled());
    const QRect area = f->MDIClient->viewport()->rect();

    f->WindowTileHorizontal1->trigger();
    for (int i = 0; i < 3; ++i) {
      QCOMPARE(children[i]->geometry().width(), area.width());
      if (i > 0) QCOMPARE(children[i]->geometry().top(), children[i - 1]->geometry().bottom() + 1);
    }
    f->WindowTileVertical1->trigger();
    for (int i = 0; i < 3; ++i) {
      QCOMPARE(children[i]->geometry().height(), area.height());
      if (i > 0) QCOMPARE(children[i]->geometry().left(), children[i - 1]->geometry().right() + 1);
    }
    f->WindowCascade1->trigger();
    QVERIFY(children[1]->pos().x() > children[0]->pos().x());
    QVERIFY(children[1]->pos().y() > children[0]->pos().y());

    // The window menu lists the children and activates the one chosen.
    emit f->Window1->aboutToShow();
    QStringList listed;
    QAction* first = nullptr;
    for (QAction* a : f->Window1->actions())
      if (a->text().contains("child")) {
        listed << a->text();
        if (!first) first = a;
      }
    QCOMPARE(listed, (QStringList{"&1 child 0", "&2 child 1", "&3 child 2"}));
    first->trigger();
    QCOMPARE(f->MDIClient->currentSubWindow(), children[0]);

    f->WindowMinimizeAll1->trigger();
    for (QMdiSubWindow* w : children) QVERIFY(w->isMinimized());
    f->WindowArrangeAll1->trigger();
    for (QMdiSubWindow* w : children) QCOMPARE(w->geometry().bottom(), area.bottom());
    QCOMPARE(children[1]->x(), children[0]->x() + children[0]->width());

    f->FileClose1->trigger();
    QTRY_COMPARE(f->MDIChildCount(), 2);
    fx.stop();
  }

  // Arranging keeps the active window and the page the frame shows;
  // cascaded, the active window lies on top.
  void arrangingKeepsTheActiveWindow() {
    TBrowserChild::setControlFactoryForTests(
        [](bool ie, QWidget* parent) -> IWebBrowser2* { return new FakeEngineControl(ie, parent); });
    FrameFixture fx;
    TMainForm* f = fx.start();
    f->resize(900, 700);
    for (const char* url : {"http://a/", "http://b/", "http://c/"}) f->OpenChild(QString(), url);
    QMdiSubWindow* first = f->MDIChildren().first();
    f->MDIClient->setActiveSubWindow(first);
    QCOMPARE(f->txtAddress->text(), QString("http://a/"));
    for (QAction* a : {f->WindowCascade1, f->WindowTileHorizontal1, f->WindowTileVertical1, f->WindowCascade1}) {
      a->trigger();
      QApplication::processEvents();
      QCOMPARE(f->MDIClient->currentSubWindow(), first);
      QCOMPARE(f->txtAddress->text(), QString("http://a/"));
    }
    QCOMPARE(f->MDIClient->subWindowList(QMdiArea::StackingOrder).last(), first);
    QVERIFY(f->MDIChildren()[1]->pos().x() < first->pos().x());
    TBrowserChild::setControlFactoryForTests({});
    fx.stop();
  }

  void arrangementArithmetic() {
    const QRect area(0, 0, 900, 601);
    const auto h = arrange::tileHorizontal(area, 3);
    QCOMPARE(h, (QList<QRect>{{0, 0, 900, 200}, {0, 200, 900, 200}, {0, 400, 900, 201}}));
    const auto v = arrange::tileVertical(QRect(10, 0, 100, 50), 3);
    QCOMPARE(v, (QList<QRect>{{10, 0, 33, 50}, {43, 0, 33, 50}, {76, 0, 34, 50}}));
    QVERIFY(arrange::tileVertical(area, 0).isEmpty());
    // Cascading wraps back to the top left instead of leaving the area.
    const auto c = arrange::cascade(QRect(0, 0, 300, 300), 30, 25);
    for (const QRect& r : c) QVERIFY(QRect(0, 0, 300, 300).contains(r));
    QCOMPARE(c[0].topLeft(), QPoint(0, 0));
    const auto icons = arrange::iconRow(QRect(0, 0, 250, 300), QSize(100, 20), 3);
    QCOMPARE(icons, (QList<QRect>{{0, 280, 100, 20}, {100, 280, 100, 20}, {0, 260, 100, 20}}));
  }

  void barsFollowTheFrame() {
    FrameFixture fx;
    TMainForm* f = fx.start();
    f->resize(800, 600);
    QTRY_COMPARE(f->ProgressBar1->width(), 130);
    QCOMPARE(f->StatusBar1->width(), f->ToolBar1->width() - 130);
    QCOMPARE(f->btnMove->x() + f->btnMove->width(), f->ToolBar3->width());
    QCOMPARE(f->txtAddress->width(), f->ToolBar3->width() - f->btnMove->width() - f->Label1->width());
    const int status = f->StatusBar1->width();
    // At 260 or narrower the bottom bar keeps its parts as they were.
    f->ToolBar1->setFixedWidth(250);
    QCoreApplication::processEvents();
    QCOMPARE(f->StatusBar1->width(), status);
    QCOMPARE(f->ProgressBar1->width(), 130);
    fx.stop();
  }

  void componentsByTheirNames() {
    FrameFixture fx;
    fx.writeConfig("[General]\n");
    TMainForm* f = fx.start();
    // Menu items bound to actions are items of their own, named as the
    // menu names them, that take caption, shortcut and enabling from their
    // action and execute it.
    const QList<std::tuple<const char*, QMenu*, QAction*>> bound = {
        {"FileNewItem", f->File1, f->FileNew1},
        {"FileOpenItem", f->File1, f->FileOpen1},
        {"FileCloseItem", f->File1, f->FileClose1},
        {"FileExitItem", f->File1, f->FileExit1},
        {"WindowCascadeItem", f->Window1, f->WindowCascade1},
        {"WindowTileItem", f->Window1, f->WindowTileHorizontal1},
        {"WindowTileItem2", f->Window1, f->WindowTileVertical1},
        {"WindowMinimizeItem", f->Window1, f->WindowMinimizeAll1},
        {"WindowArrangeItem", f->Window1, f->WindowArrangeAll1},
        {"HelpAboutItem", f->Help1, f->HelpAbout1},
    };
    for (const auto& [name, menu, action] : bound) {
      auto* item = f->findChild<QAction*>(name);
      QVERIFY2(item && item != action, name);
      QVERIFY2(menu->actions().contains(item), name);
      QCOMPARE(item->text(), action->text());
      QCOMPARE(item->shortcut(), action->shortcut());
      QCOMPARE(item->isEnabled(), action->isEnabled());
    }
    QObject* list = f->findChild<QObject*>("ActionList1");
    QVERIFY(list);
    for (QAction* a : {f->FileNew1, f->FileOpen1, f->FileClose1, f->FileExit1, f->EditCut1, f->EditCopy1, f->EditPaste1,
                       f->WindowCascade1, f->WindowTileHorizontal1, f->WindowTileVertical1, f->WindowMinimizeAll1,
                       f->WindowArrangeAll1, f->HelpAbout1})
      QCOMPARE(a->parent(), list);
    QCOMPARE(f->findChild<QFileDialog*>("OpenDialog"), f->OpenDialog);
    QVERIFY(f->OpenDialog && f->OpenDialog->isHidden());

    // Enabling follows the action; choosing the item runs the action.
    auto* w = f->MDIClient->addSubWindow(new QLabel("child"));
    w->show();
    f->MDIClient->setActiveSubWindow(w);
    QVERIFY(f->FileCloseItem->isEnabled() && f->WindowTileItem2->isEnabled());
    QSignalSpy tiled(f->WindowTileVertical1, &QAction::triggered);
    f->WindowTileItem2->trigger();
    QCOMPARE(tiled.count(), 1);
    QCOMPARE(w->geometry().height(), f->MDIClient->viewport()->height());
    // Ctrl+N still reaches the action once (no clash with its menu item).
    TBrowserChild::setControlFactoryForTests(
        [](bool ie, QWidget* parent) -> IWebBrowser2* { return new FakeEngineControl(ie, parent); });
    QSignalSpy created(f->FileNew1, &QAction::triggered);
    f->activateWindow();
    QTRY_VERIFY(f->isActiveWindow());
    QTest::keyClick(f, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(created.count(), 1);
    QCOMPARE(f->MDIChildCount(), 2);
    TBrowserChild::setControlFactoryForTests({});
    f->FileCloseItem->trigger();
    QTRY_COMPARE(f->MDIChildCount(), 1);
    for (QMdiSubWindow* c : f->MDIChildren()) c->close();
    QTRY_COMPARE(f->MDIChildCount(), 0);
    QVERIFY(!f->FileCloseItem->isEnabled() && !f->WindowTileItem2->isEnabled());

    // The engine items are a radio pair: the menu draws them as bullets.
    QVERIFY(f->IE_item->actionGroup() && f->IE_item->actionGroup() == f->Moz_Item->actionGroup());
    QVERIFY(f->IE_item->actionGroup()->isExclusive());
    fx.stop();
  }

  void dialogsByTheirOuterFrame() {
    FrameFixture fx;
    TMainForm* f = fx.start();
    // The version box is centred on the screen by its outer frame, also
    // once a window manager has put its frame around it.
    f->HelpAbout1->trigger();
    QTRY_VERIFY(AboutBox->isVisible());
    // Under a window manager, only once it has put its frame around it.
    if (qgetenv("ZELVO_WM") == "openbox") QTRY_VERIFY(AboutBox->frameGeometry() != AboutBox->geometry());
    const QRect screen = AboutBox->screen()->geometry();
    QTRY_COMPARE(AboutBox->frameGeometry().topLeft(),
                 QPoint((screen.width() - AboutBox->frameGeometry().width()) / 2,
                        (screen.height() - AboutBox->frameGeometry().height()) / 2));
    AboutBox->OKButton->click();
    QTRY_VERIFY(!AboutBox->isVisible());
    QCOMPARE(AboutBox->size(), QSize(274, 123));

    // The first-run options dialog: the application's own window (not one
    // kept above the frame), 463 x 178 at 250, 174 with its frame.
    Tfrm_Option* d = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* o = qobject_cast<Tfrm_Option*>(w); o && o->isVisible()) d = o;
    QVERIFY(d);
    QVERIFY(!d->parentWidget());
    QVERIFY(!d->windowHandle()->transientParent());
    if (qgetenv("ZELVO_WM") == "openbox") QTRY_VERIFY(d->frameGeometry() != d->geometry());
    QTRY_COMPARE(d->frameGeometry(), QRect(250, 174, 463, 178));
    // Its buttons are inside it, also with the client area a tall title
    // bar would leave.
    for (int clientHeight : {d->height(), 140, 120}) {
      d->resize(463, clientHeight);
      for (QPushButton* b : {d->Button1, d->Button2}) {
        QVERIFY(d->rect().contains(b->geometry()));
        QVERIFY(b->geometry().top() > d->TreeView1->geometry().bottom());
        QVERIFY(b->geometry().top() > d->Panel1->geometry().bottom());
      }
    }
    fx.stop();
  }

  void versionBox() {
    TAboutBox box;
    QCOMPARE(box.windowTitle(), QString("バージョン情報"));
    QCOMPARE(box.size(), QSize(274, 123));
    QCOMPARE(box.ProductName->text(), QString("Zelvo"));
    QCOMPARE(box.Version->text(), QString("Version：1.0β4"));
    QCOMPARE(box.IconLabel->text(), QString("未定"));
    QVERIFY(box.OKButton->isDefault());
    QTimer::singleShot(0, box.OKButton, &QPushButton::click);
    QCOMPARE(box.exec(), int(QDialog::Accepted));
  }
};

ZELVO_TEST_MAIN(TestFrame)
#include "test_frame.moc"
