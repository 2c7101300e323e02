// The frame: start-up state, engine choice, what closing writes, the window
// menu's arrangements, bar fitting and the version box.
#include <QAction>
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

#include "app/about_box.h"
#include "app/window_arrange.h"
#include "frame_fixture.h"
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
