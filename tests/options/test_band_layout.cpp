// The cool bar's band model: order, rows, widths and the user's drags.
#include <QtTest>

#include "app/band_layout.h"

namespace {
BandLayout twoBands() {
  BandLayout m;
  m.add(24);
  m.add(24);
  return m;
}
QList<int> order(const BandLayout& m) {
  QList<int> ids;
  for (const auto& b : m.bands()) ids << b.id;
  return ids;
}
const BandLayout::Placed& placedOf(const std::vector<BandLayout::Placed>& ps, int pos) {
  for (const auto& p : ps)
    if (p.pos == pos) return p;
  return ps.front();
}
}  // namespace

class TestBandLayout : public QObject {
  Q_OBJECT
 private slots:
  void defaultsGiveOneRowPerBand() {
    const BandLayout m = twoBands();
    QCOMPARE(order(m), (QList<int>{0, 1}));
    QVERIFY(m.at(0).brk && m.at(1).brk);
    QCOMPARE(m.at(0).width, 200);
    const auto ps = m.layout(800);
    QCOMPARE(ps.size(), size_t(2));
    QCOMPARE(ps[0].band, QRect(0, 0, 800, 24));
    QCOMPARE(ps[1].band, QRect(0, 24 + BandLayout::kRowGap, 800, 24));
    QCOMPARE(ps[0].bar.width(), 800 - BandLayout::kGripperWidth);
    QCOMPARE(m.height(800), 50);
  }

  void sharedRowGivesFirstItsWidthAndLastTheRest() {
    BandLayout m = twoBands();
    m.setBreak(1, false);
    m.setWidth(0, 150);
    const auto ps = m.layout(600);
    QCOMPARE(ps[0].row, 0);
    QCOMPARE(ps[1].row, 0);
    QCOMPARE(ps[0].bar.width(), 150);
    QCOMPARE(ps[1].band.x(), 150 + BandLayout::kGripperWidth);
    QCOMPARE(ps[1].band.right(), 599);
    QCOMPARE(m.height(600), 24);
    // A saved width as wide as the row still leaves the last band its own.
    m.setWidth(0, 589);
    const auto wide = m.layout(600);
    QCOMPARE(wide[1].band.width(), 211);  // its own 200, under the even share
    QCOMPARE(wide[1].band.right(), 599);
    // A last band that asks for little lets the first one have the rest.
    m.setWidth(1, 50);
    QCOMPARE(m.layout(600)[1].band.width(), 61);
  }

  void savedIdentitiesReorderAndUnknownOnesKeepPlaces() {
    // Band0ID=1, Band1ID=0: the address band first.
    BandLayout m = twoBands();
    m.moveBand(1, 0);
    m.moveBand(0, 1);
    QCOMPARE(order(m), (QList<int>{1, 0}));
    // Equal identities: both bands still there, each once.
    BandLayout e = twoBands();
    e.moveBand(1, 0);
    e.moveBand(1, 1);
    QCOMPARE(order(e), (QList<int>{0, 1}));
    // Out of range identities and positions change nothing.
    BandLayout u = twoBands();
    u.moveBand(-7, 0);
    u.moveBand(99, 1);
    u.moveBand(1, 5);
    u.moveBand(0, -1);
    QCOMPARE(order(u), (QList<int>{0, 1}));
  }

  void badWidthsStillFitTheBar_data() {
    QTest::addColumn<int>("w0");
    QTest::addColumn<int>("w1");
    QTest::newRow("negative") << -500 << -1;
    QTest::newRow("huge") << 2147483647 << 2147483647;
    QTest::newRow("wider than the frame") << 5000 << 300;
    QTest::newRow("zero") << 0 << 0;
  }
  void badWidthsStillFitTheBar() {
    QFETCH(int, w0);
    QFETCH(int, w1);
    for (bool shared : {false, true}) {
      BandLayout m = twoBands();
      m.setWidth(0, w0);
      m.setWidth(1, w1);
      m.setBreak(1, !shared);
      m.setBreak(0, false);
      const int W = 400;
      const auto ps = m.layout(W);
      QCOMPARE(ps.size(), size_t(2));
      for (const auto& p : ps) {
        QVERIFY2(p.band.left() >= 0 && p.band.right() < W, qPrintable(QStringLiteral("band %1").arg(p.pos)));
        QVERIFY(p.bar.width() >= BandLayout::kMinBarWidth);
      }
    }
  }

  void tinyFrameKeepsEverythingInside() {
    BandLayout m = twoBands();
    m.setBreak(1, false);
    m.setWidth(0, 300);
    for (int W : {0, 1, 20, 50}) {
      for (const auto& p : m.layout(W)) {
        QVERIFY(p.band.width() >= 0);
        QVERIFY(p.band.x() + p.band.width() <= W);
      }
    }
  }

  void hiddenBandLeavesItsRowAndTheBarShrinks() {
    BandLayout m = twoBands();
    m.setVisible(0, false);
    const auto ps = m.layout(500);
    QCOMPARE(ps.size(), size_t(1));
    QCOMPARE(ps[0].pos, 1);
    QCOMPARE(ps[0].band.y(), 0);
    QCOMPARE(m.height(500), 24);
    m.setVisible(1, false);
    QCOMPARE(m.height(500), 0);
  }

  void dragUpJoinsTheRowAndDownMakesANewOne() {
    BandLayout m = twoBands();
    const int W = 600;
    // Address band dragged onto the first row, to the right of the buttons.
    QVERIFY(m.drag(1, QPoint(300, 5), W));
    QCOMPARE(order(m), (QList<int>{0, 1}));
    QVERIFY(!m.at(1).brk);
    QCOMPARE(m.height(W), 24);
    // Dragged back below the row: a row of its own again.
    QVERIFY(m.drag(1, QPoint(300, 40), W));
    QVERIFY(m.at(1).brk);
    QCOMPARE(m.height(W), 50);
    // Address band dragged above the first row: it comes first, own row.
    QVERIFY(m.drag(1, QPoint(0, -3), W));
    QCOMPARE(order(m), (QList<int>{1, 0}));
    QVERIFY(m.at(0).brk && m.at(1).brk);
    // Already alone in the top row: dragging higher changes nothing.
    QVERIFY(!m.drag(0, QPoint(0, -3), W));
    // Joining the left of a row puts the band first in it.
    QVERIFY(m.drag(0, QPoint(0, 30), W));  // band id 1 onto row 1, at its left
    QCOMPARE(order(m), (QList<int>{1, 0}));
    QCOMPARE(m.height(W), 24);
  }

  void dragAlongTheRowResizesTheBandBefore() {
    BandLayout m = twoBands();
    m.setBreak(1, false);
    const int W = 600;
    QVERIFY(m.drag(1, QPoint(100 + BandLayout::kGripperWidth, 5), W));
    QCOMPARE(m.at(0).width, 100);
    QCOMPARE(placedOf(m.layout(W), 1).band.x(), 111);
    // Clamped: never narrower than the minimum, never pushing the last band out.
    m.drag(1, QPoint(BandLayout::kGripperWidth + 1, 5), W);
    QCOMPARE(m.at(0).width, BandLayout::kMinBarWidth);
    m.drag(1, QPoint(10000, 5), W);
    const auto ps = m.layout(W);
    QVERIFY(placedOf(ps, 1).bar.width() >= BandLayout::kMinBarWidth);
    QVERIFY(placedOf(ps, 1).band.right() < W);
    // Same place again is no change.
    QVERIFY(!m.drag(1, QPoint(10000, 5), W));
  }

  void dragPastTheNeighbourSwapsPlaces() {
    BandLayout m = twoBands();
    m.setBreak(1, false);
    const int W = 600;
    QVERIFY(!m.drag(0, QPoint(50, 5), W));  // first band, not past the other's middle
    QVERIFY(m.drag(0, QPoint(500, 5), W));
    QCOMPARE(order(m), (QList<int>{1, 0}));
    QVERIFY(m.at(0).brk);
    QVERIFY(!m.at(1).brk);
    // The second band dragged to the far left comes first again.
    QVERIFY(m.drag(1, QPoint(0, 5), W));
    QCOMPARE(order(m), (QList<int>{0, 1}));
  }

  void gripperHitTest() {
    BandLayout m = twoBands();
    QCOMPARE(m.gripperAt(QPoint(3, 3), 500), 0);
    QCOMPARE(m.gripperAt(QPoint(3, 30), 500), 1);
    QCOMPARE(m.gripperAt(QPoint(100, 3), 500), -1);
    QVERIFY(!m.drag(5, QPoint(0, 0), 500));
  }
};

QTEST_GUILESS_MAIN(TestBandLayout)
#include "test_band_layout.moc"
