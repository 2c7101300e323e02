// Where new windows go inside the client area, and where a remembered frame
// goes on the screens there are now.
#include <QTest>

#include "app/window_arrange.h"

class TestWindowPlacement : public QObject {
  Q_OBJECT

 private slots:
  void newWindowsCascadeInsideTheAreaAndWrap() {
    const QRect area(0, 0, 800, 600);
    const QSize size(600, 450);
    // Room for the window plus 200 / 150 pixels of steps of 24: 7 places.
    for (int i = 0; i < 7; ++i)
      QCOMPARE(arrange::newWindowSlot(area, size, 24, i), QRect(QPoint(24 * i, 24 * i), size));
    QCOMPARE(arrange::newWindowSlot(area, size, 24, 7), QRect(QPoint(0, 0), size));
    QCOMPARE(arrange::newWindowSlot(area, size, 24, 9), QRect(QPoint(48, 48), size));
    for (int i = 0; i < 40; ++i) QVERIFY(area.contains(arrange::newWindowSlot(area, size, 24, i)));
  }

  void newWindowSlotFollowsTheAreaOrigin() {
    // The client area need not start at 0, 0 (a scrolled or offset viewport).
    QCOMPARE(arrange::newWindowSlot(QRect(10, 20, 400, 300), QSize(300, 200), 30, 1), QRect(40, 50, 300, 200));
  }

  void windowLargerThanTheAreaIsCutToIt() {
    const QRect area(0, 0, 300, 200);
    QCOMPARE(arrange::newWindowSlot(area, QSize(500, 400), 24, 0), area);
    QCOMPARE(arrange::newWindowSlot(area, QSize(500, 400), 24, 3), area);  // nowhere to step to
    QCOMPARE(arrange::newWindowSlot(QRect(0, 0, 0, 0), QSize(500, 400), 24, 2), QRect(0, 0, 1, 1));
  }

  void rememberedFrameOnTheScreens_data() {
    QTest::addColumn<QRect>("saved");
    QTest::addColumn<QList<QRect>>("screens");
    QTest::addColumn<QRect>("placed");
    const QRect left(0, 0, 1920, 1080), right(1920, 0, 1280, 1024);
    QTest::newRow("inside one screen") << QRect(100, 80, 800, 600) << QList<QRect>{left} << QRect(100, 80, 800, 600);
    QTest::newRow("across two screens") << QRect(1500, 100, 800, 600) << QList<QRect>{left, right}
                                        << QRect(1500, 100, 800, 600);
    QTest::newRow("right monitor gone") << QRect(2200, 100, 800, 600) << QList<QRect>{left}
                                        << QRect(1120, 100, 800, 600);
    QTest::newRow("far away: onto the first screen")
        << QRect(-5000, 9000, 800, 600) << QList<QRect>{right, left} << QRect(1920, 424, 800, 600);
    QTest::newRow("half off the top left")
        << QRect(-300, -200, 800, 600) << QList<QRect>{left} << QRect(0, 0, 800, 600);
    QTest::newRow("larger than the screen") << QRect(50, 50, 2500, 1500) << QList<QRect>{left} << left;
    QTest::newRow("partly in the gap below a smaller screen")
        << QRect(2000, 900, 600, 400) << QList<QRect>{left, right} << QRect(2000, 624, 600, 400);
  }
  void rememberedFrameOnTheScreens() {
    QFETCH(QRect, saved);
    QFETCH(QList<QRect>, screens);
    QFETCH(QRect, placed);
    QCOMPARE(arrange::keepOnScreens(saved, screens), placed);
  }
};

QTEST_APPLESS_MAIN(TestWindowPlacement)
#include "test_window_placement.moc"
