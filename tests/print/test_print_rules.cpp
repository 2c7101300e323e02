// Which pages go to the printer, how they sit on the paper, and when a
// window may open its print dialog.
#include <QTest>

#include "print/print_rules.h"

using print::PrintGate;

class TestPrintRules : public QObject {
  Q_OBJECT

 private slots:
  void pages_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("copies");
    QTest::addColumn<bool>("collate");
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("whole document") << 3 << 0 << 0 << 1 << true << QList<int>{0, 1, 2};
    QTest::newRow("range") << 5 << 2 << 3 << 1 << true << QList<int>{1, 2};
    QTest::newRow("range past the end") << 3 << 2 << 9 << 1 << true << QList<int>{1, 2};
    QTest::newRow("range after the end") << 3 << 5 << 9 << 1 << true << QList<int>{};
    QTest::newRow("open end") << 4 << 3 << 0 << 1 << true << QList<int>{2, 3};
    QTest::newRow("collated copies") << 2 << 0 << 0 << 2 << true << QList<int>{0, 1, 0, 1};
    QTest::newRow("uncollated copies") << 2 << 0 << 0 << 2 << false << QList<int>{0, 0, 1, 1};
    QTest::newRow("empty document") << 0 << 0 << 0 << 3 << true << QList<int>{};
  }
  void pages() {
    QFETCH(int, count);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, copies);
    QFETCH(bool, collate);
    QFETCH(QList<int>, expected);
    const std::vector<int> got = print::pagesToPrint(count, from, to, copies, collate);
    QCOMPARE(QList<int>(got.begin(), got.end()), expected);
  }

  void placement() {
    // A portrait page on landscape paper: full height, centred across.
    QCOMPARE(print::fitOnPaper(QSizeF(100, 200), QRectF(0, 0, 400, 100)), QRectF(175, 0, 50, 100));
    QCOMPARE(print::imageSize(QSizeF(72, 144), 600), QSize(print::kMaxDpi, 2 * print::kMaxDpi));
    QCOMPARE(print::imageSize(QSizeF(72, 144), 150), QSize(150, 300));
  }

  // A page's print() waits its turn and a moment after the last print; the
  // user's only for the print under way.
  void gate() {
    PrintGate gate;
    QVERIFY(gate.begin(PrintGate::From::Page, 1000));
    QVERIFY(!gate.begin(PrintGate::From::Page, 1001));
    QVERIFY(!gate.begin(PrintGate::From::User, 1001));
    gate.end(2000);
    QVERIFY(!gate.begin(PrintGate::From::Page, 2000 + PrintGate::kPageQuietMs - 1));
    QVERIFY(gate.begin(PrintGate::From::User, 2001));
    gate.end(3000);
    QVERIFY(gate.begin(PrintGate::From::Page, 3000 + PrintGate::kPageQuietMs));
  }
};

QTEST_APPLESS_MAIN(TestPrintRules)
#include "test_print_rules.moc"
