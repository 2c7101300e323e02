// The frame's bars: section "Bar" read at start and written at close, the
// view toggles, the side bar's collapse, drag and the band drags.
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QWindow>
#include <QtTest>
#include <memory>

#include "app/app_path.h"
#include "app/cool_bar.h"
#include "app/main_form.h"
#include "platform/guarded.h"
#include "platform/ini_file.h"

class TestBars : public QObject {
  Q_OBJECT
  std::unique_ptr<QTemporaryDir> dir_;
  TMainForm* frame_ = nullptr;
  QStringList boxes_;

  QString ini() const { return dir_->path() + QStringLiteral("/config.ini"); }
  void start(const QByteArray& config = "[General]\n") {
    dir_ = std::make_unique<QTemporaryDir>();
    setProgramFolderForTests(dir_->path());
    QFile f(ini());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(config);
    f.close();
    restart(false);
  }
  // Closes the frame as the user would (its settings get written) and
  // starts a new one over the same folder.
  void restart(bool closeFirst = true) {
    if (frame_ && closeFirst) frame_->close();
    delete frame_;
    frame_ = new TMainForm;
    frame_->resize(900, 600);
    QVERIFY(QTest::qWaitForWindowExposed(frame_));
    QCoreApplication::processEvents();
  }
  int tag() const { return frame_->btnBar->property("Tag").toInt(); }
  QList<int> ids() const {
    QList<int> r;
    for (int i = 0; i < frame_->CoolBar1->bandCount(); ++i) r << frame_->CoolBar1->bandId(i);
    return r;
  }
  QStringList barSection() const {
    QFile f(ini());
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n');
    QStringList out;
    bool in = false;
    for (const QString& l : lines) {
      if (l.startsWith(u'['))
        in = (l == QLatin1String("[Bar]"));
      else if (in && !l.isEmpty())
        out << l.section(u'=', 0, 0);
    }
    return out;
  }
  // Real input through the frame's window: Qt routes it to the widget under
  // the point and passes up what that widget leaves, as with a user's mouse.
  QPoint inWindow(QWidget* w, const QPoint& p) const { return w->mapTo(frame_, p); }
  void click(QWidget* w, const QPoint& p, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(frame_->windowHandle(), button, {}, inWindow(w, p));
  }
  // Presses on the side bar's own free strip (right of its button) and
  // releases at x in the bar's coordinates.
  void dragZBar(int x) {
    QWindow* win = frame_->windowHandle();
    const QPoint from = inWindow(frame_->ZBar, QPoint(frame_->ZBar->width() - 1, 300));
    const QPoint to = inWindow(frame_->ZBar, QPoint(x, 300));
    QTest::mousePress(win, Qt::LeftButton, {}, from);
    QTest::mouseMove(win, to);
    QTest::mouseRelease(win, Qt::LeftButton, {}, to);
  }
  void dragGripper(int pos, const QPoint& to) {
    TCoolBar* bar = frame_->CoolBar1;
    const QPoint from = bar->gripperRect(pos).center();
    QTest::mousePress(bar, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), bar->mapToGlobal(QPointF(to)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(bar, &move);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, to);
  }

 private slots:
  void init() {
    boxes_.clear();
    guarded::setReporter([this](const QString& t) { boxes_ << t; });
  }
  void cleanup() {
    delete frame_;
    frame_ = nullptr;
    guarded::setReporter({});
    QCOMPARE(boxes_, QStringList());
  }

  void defaultsAndTheWriteOrder() {
    start();
    TCoolBar* cb = frame_->CoolBar1;
    QCOMPARE(ids(), (QList<int>{0, 1}));
    QVERIFY(cb->bandBreak(0) && cb->bandBreak(1));
    QVERIFY(frame_->ToolBar3->y() > frame_->ToolBar2->y());
    for (QAction* a : {frame_->mnuShow_default, frame_->mnuShow_Address, frame_->mnuShow_Status, frame_->mnuShow_Z})
      QVERIFY(a->isChecked());
    QVERIFY(frame_->ToolBar2->isVisible() && frame_->ToolBar3->isVisible() && frame_->ToolBar1->isVisible() &&
            frame_->ZBar->isVisible());
    QCOMPARE(frame_->ZBar->width(), 153);
    QCOMPARE(tag(), 0);
    QCOMPARE(frame_->TreeView1->width(), 143);
    frame_->close();
    QCOMPARE(barSection(), (QStringList{"Band0ID", "Band0Width", "Band0Break", "Band1ID", "Band1Width", "Band1Break",
                                        "ToolBar", "AddressBar", "StatusBar", "ZBar", "ZBarSize", "ZBarMax"}));
    const IniFile f(ini());
    // Each band alone fills its row on screen; what is kept is its own width.
    QCOMPARE(f.ReadInteger("Bar", "Band0Width", -1), 200);
    QCOMPARE(f.ReadInteger("Bar", "Band1Width", -1), 200);
    QCOMPARE(f.ReadInteger("Bar", "ZBarSize", -1), 153);
  }

  void savedOrderPutsTheAddressBandFirst() {
    start("[Bar]\nBand0ID=1\nBand0Width=150\nBand0Break=1\nBand1ID=0\nBand1Break=0\n");
    QCOMPARE(ids(), (QList<int>{1, 0}));
    QVERIFY(!frame_->CoolBar1->bandBreak(1));
    // One row: the address bar 150 wide at the left, the buttons after it.
    QCOMPARE(frame_->ToolBar3->width(), 150);
    QCOMPARE(frame_->ToolBar2->y(), frame_->ToolBar3->y());
    QVERIFY(frame_->ToolBar2->x() > frame_->ToolBar3->x());
    QCOMPARE(frame_->txtAddress->width(), 150 - 41 - 46);
  }

  void badValuesStillGiveAUsableLayout() {
    start(
        "[Bar]\nBand0ID=1\nBand0Width=-300\nBand0Break=0\nBand1ID=1\nBand1Width=999999999\nBand1Break=0\n"
        "ZBarSize=-40\nZBarMax=99999999\n");
    const int W = frame_->CoolBar1->width();
    QCOMPARE(ids().size(), 2);
    QVERIFY(ids().contains(0) && ids().contains(1));
    for (QWidget* bar : {static_cast<QWidget*>(frame_->ToolBar2), frame_->ToolBar3}) {
      QVERIFY(bar->isVisible());
      QVERIFY(bar->width() >= 24);
      QVERIFY2(bar->geometry().right() < W, qPrintable(QString::number(bar->geometry().right())));
      QVERIFY(bar->x() >= 0);
    }
    QCOMPARE(frame_->ZBar->width(), 11);
    QVERIFY(tag() > 0);
    frame_->btnBar->click();
    QVERIFY(frame_->ZBar->width() < frame_->width());
    QVERIFY(frame_->ZBar->width() > 11);

    start("[Bar]\nZBarSize=100000\nBand0ID=7\nBand1ID=-2\n");
    QVERIFY(frame_->ZBar->width() < frame_->width());
    QCOMPARE(ids(), (QList<int>{0, 1}));
  }

  void barSectionSurvivesARestart() {
    start();
    // Address band dragged up beside the buttons, address bar hidden, side
    // bar dragged to 180 and collapsed.
    dragGripper(1, QPoint(600, 4));
    QCOMPARE(frame_->ToolBar3->y(), frame_->ToolBar2->y());
    QVERIFY(!frame_->CoolBar1->bandBreak(1));
    frame_->mnuShow_Address->trigger();
    QVERIFY(!frame_->mnuShow_Address->isChecked());
    QVERIFY(frame_->ToolBar3->isHidden());
    dragZBar(180);
    QCOMPARE(frame_->ZBar->width(), 180);
    frame_->btnBar->click();
    QCOMPARE(frame_->ZBar->width(), 11);
    QCOMPARE(tag(), 180);
    QCOMPARE(frame_->TreeView1->width(), 1);
    QCOMPARE(frame_->btnBar->x(), 1);
    QVERIFY(frame_->btnBar->isVisible());

    restart();
    const IniFile f(ini());
    QCOMPARE(f.ReadInteger("Bar", "ZBarSize", -1), 11);
    QCOMPARE(f.ReadInteger("Bar", "ZBarMax", -1), 180);
    QCOMPARE(f.ReadInteger("Bar", "AddressBar", -1), 0);
    QCOMPARE(f.ReadInteger("Bar", "Band1Break", -1), 0);
    QVERIFY(!frame_->CoolBar1->bandBreak(1));
    QVERIFY(!frame_->mnuShow_Address->isChecked());
    QVERIFY(frame_->ToolBar3->isHidden());
    QCOMPARE(frame_->ToolBar2->width(), frame_->CoolBar1->width() - 11);  // alone, it fills the row
    QCOMPARE(frame_->ZBar->width(), 11);
    // Shown again: beside the buttons, as saved.
    frame_->mnuShow_Address->trigger();
    QVERIFY(frame_->ToolBar3->isVisible());
    QCOMPARE(frame_->ToolBar3->y(), frame_->ToolBar2->y());
    // The buttons filled the row alone when saved; the address bar still
    // gets its share back.
    QVERIFY(frame_->ToolBar3->width() >= frame_->CoolBar1->width() / 2 - 11);
    QVERIFY(frame_->ToolBar3->geometry().right() < frame_->CoolBar1->width());
    // Dragged while collapsed: the click still returns to the earlier width.
    dragZBar(60);
    QCOMPARE(frame_->ZBar->width(), 60);
    frame_->btnBar->click();
    QCOMPARE(frame_->ZBar->width(), 180);
    QCOMPARE(tag(), 0);
  }

  void togglesAndF10() {
    start("[Bar]\nStatusBar=0\nToolBar=2\n");
    QVERIFY(frame_->mnuShow_default->isChecked());
    QVERIFY(!frame_->mnuShow_Status->isChecked());
    QVERIFY(frame_->ToolBar1->isHidden());
    const int twoRows = frame_->CoolBar1->height();
    frame_->mnuShow_default->trigger();
    QVERIFY(frame_->ToolBar2->isHidden());
    QVERIFY(frame_->CoolBar1->height() < twoRows);
    QCOMPARE(frame_->ToolBar3->y(), 0);
    frame_->mnuShow_Status->trigger();
    QVERIFY(frame_->ToolBar1->isVisible());
    QTest::keyClick(frame_, Qt::Key_F10);
    QVERIFY(!frame_->mnuShow_Z->isChecked());
    QVERIFY(frame_->ZBar->isHidden());
    QTest::keyClick(frame_, Qt::Key_F10);
    QVERIFY(frame_->ZBar->isVisible());
  }

  void dragWidthsAreClamped() {
    start();
    dragZBar(-50);
    QCOMPARE(frame_->ZBar->width(), 11);
    dragZBar(5000);
    QVERIFY(frame_->ZBar->width() < frame_->width());
    QCOMPARE(tag(), 0);
    // A band dragged to a new row and back, and the address box refitted.
    dragGripper(1, QPoint(250, 4));
    QCOMPARE(frame_->txtAddress->width(), frame_->ToolBar3->width() - 41 - 46);
    dragGripper(1, QPoint(0, frame_->CoolBar1->height() + 5));
    QVERIFY(frame_->CoolBar1->bandBreak(1));
    QCOMPARE(frame_->txtAddress->width(), frame_->ToolBar3->width() - 41 - 46);
  }

  void onlyReleasesOverTheBarItselfResizeIt() {
    start();
    QCOMPARE(frame_->ZBar->width(), 153);
    // The tree's outer edge (the screen's edge in a maximised frame), a
    // right and a middle click on the button: the tree and the button pass
    // these up, and none of them is a drag of the bar.
    click(frame_->ZBar, QPoint(0, 200));
    click(frame_->btnBar, QPoint(4, 100), Qt::RightButton);
    click(frame_->btnBar, QPoint(4, 100), Qt::MiddleButton);
    QCOMPARE(frame_->ZBar->width(), 153);
    QCOMPARE(tag(), 0);
    // Pressed in the tree and released over the bar's free strip: still no drag.
    QWindow* win = frame_->windowHandle();
    QTest::mousePress(win, Qt::LeftButton, {}, inWindow(frame_->TreeView1, QPoint(40, 40)));
    QTest::mouseRelease(win, Qt::LeftButton, {}, inWindow(frame_->ZBar, QPoint(152, 40)));
    QCOMPARE(frame_->ZBar->width(), 153);
    // A left click on the button collapses and expands.
    click(frame_->btnBar, QPoint(4, 100));
    QCOMPARE(frame_->ZBar->width(), 11);
    QCOMPARE(tag(), 153);
    click(frame_->btnBar, QPoint(4, 100));
    QCOMPARE(frame_->ZBar->width(), 153);
    QCOMPARE(tag(), 0);
    // A drag that starts on the bar's own strip resizes it, also when it
    // ends over the tree.
    dragZBar(90);
    QCOMPARE(frame_->ZBar->width(), 90);
    QCOMPARE(frame_->TreeView1->width(), 80);
  }

  void aNarrowFrameKeepsTheWidthToReturnTo() {
    start("[Bar]\nZBarSize=11\nZBarMax=700\n");
    QCOMPARE(frame_->ZBar->width(), 11);
    frame_->resize(420, 500);
    QTRY_COMPARE(frame_->width(), 420);
    click(frame_->btnBar, QPoint(4, 100));
    QCOMPARE(tag(), 0);
    QVERIFY(frame_->ZBar->width() < 420);  // what is shown fits the frame
    QCOMPARE(frame_->ZBarWidth(), 700);    // what is kept does not shrink
    frame_->resize(1100, 600);
    QTRY_COMPARE(frame_->ZBar->width(), 700);
    frame_->resize(420, 500);
    QTRY_VERIFY(frame_->ZBar->width() < 420);
    // Collapsed and expanded in the narrow frame, closed and started again
    // in a wide one: the 700 pixels survive all of it.
    click(frame_->btnBar, QPoint(4, 100));
    QCOMPARE(tag(), 700);
    click(frame_->btnBar, QPoint(4, 100));
    restart();
    const IniFile f(ini());
    QCOMPARE(f.ReadInteger("Bar", "ZBarSize", -1), 700);
    QCOMPARE(f.ReadInteger("Bar", "ZBarMax", -1), 0);
    QCOMPARE(frame_->ZBar->width(), 700);
  }

  void theAddressBoxFillsTheGapExactly() {
    start();
    for (int width : {900, 640, 1200}) {
      frame_->resize(width, 600);
      QTRY_COMPARE(frame_->btnMove->geometry().right(), frame_->ToolBar3->width() - 1);
      QCOMPARE(frame_->txtAddress->x(), frame_->Label1->geometry().right() + 1);
      QCOMPARE(frame_->txtAddress->geometry().right() + 1, frame_->btnMove->x());
    }
    QCOMPARE(frame_->Label1->x(), 0);
  }
};

QTEST_MAIN(TestBars)
#include "test_bars.moc"
