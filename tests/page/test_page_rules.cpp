// The answers the program gives pages the same way in both engines: which
// dialogs show, which windows open, how addresses are shown.
#include <QTest>
#include <QUrl>

#include "engine/address.h"
#include "page/download_rules.h"
#include "page/page_rules.h"

class TestPageRules : public QObject {
  Q_OBJECT
 private slots:
  void dialogsInQuickSuccessionOfferSilence() {
    DialogGate gate;
    QVERIFY(gate.opening(0).show);
    QVERIFY(!gate.opening(0).offerSuppress);  // the first dialog never offers it
    gate.closed(100, false);
    QVERIFY(gate.opening(100 + DialogGate::kQuickSuccessionMs - 1).offerSuppress);
    QVERIFY(!gate.opening(100 + DialogGate::kQuickSuccessionMs).offerSuppress);  // a while later: a fresh start
    gate.closed(5000, true);
    QVERIFY(!gate.opening(5001).show);
    QVERIFY(!gate.opening(500000).show);  // silenced until another document
    gate.newDocument();
    const DialogGate::Decision d = gate.opening(5002);
    QVERIFY(d.show);
    QVERIFY(!d.offerSuppress);
  }

  void unshownDialogsAnswerAsCancelledButLetThePageGo() {
    QVERIFY(unshownDialogAnswer(PageDialogKind::Alert).accepted);
    QVERIFY(!unshownDialogAnswer(PageDialogKind::Confirm).accepted);
    QVERIFY(!unshownDialogAnswer(PageDialogKind::Prompt).accepted);
    QVERIFY(unshownDialogAnswer(PageDialogKind::Prompt).text.isEmpty());
    QVERIFY(unshownDialogAnswer(PageDialogKind::LeavePage).accepted);
  }

  void popupsNeedAUserActionAndAreRateLimited() {
    PopupGate gate;
    QCOMPARE(gate.request(false, 0), PopupGate::Verdict::NoUserAction);
    for (int i = 0; i < PopupGate::kMaxPerSecond; ++i) QCOMPARE(gate.request(true, 10 * i), PopupGate::Verdict::Open);
    QCOMPARE(gate.request(true, 900), PopupGate::Verdict::TooMany);
    QCOMPARE(gate.request(true, 999), PopupGate::Verdict::TooMany);  // refused ones do not count
    QCOMPARE(gate.request(true, 1000), PopupGate::Verdict::Open);    // the first has left the second
    QCOMPARE(gate.request(false, 5000), PopupGate::Verdict::NoUserAction);
    // Counted: one window per click or key reported, however many the
    // engine calls the user's.
    PopupGate counted(PopupGate::Actions::Counted);
    QCOMPARE(counted.request(true, 0), PopupGate::Verdict::TooMany);
    counted.userInput();
    QCOMPARE(counted.request(false, 10), PopupGate::Verdict::NoUserAction);  // leaves the click unused
    QCOMPARE(counted.request(true, 20), PopupGate::Verdict::Open);
    QCOMPARE(counted.request(true, 30), PopupGate::Verdict::TooMany);
    counted.userInput();
    counted.userInput();  // clicks that opened nothing do not add up
    QCOMPARE(counted.request(true, 5000), PopupGate::Verdict::Open);
    QCOMPARE(counted.request(true, 5010), PopupGate::Verdict::TooMany);
    QVERIFY(popupBlockedText(PopupGate::Verdict::NoUserAction, "http://a.example/p").contains("http://a.example/p"));
    QVERIFY(popupBlockedText(PopupGate::Verdict::TooMany, QString()) !=
            popupBlockedText(PopupGate::Verdict::NoUserAction, QString()));
  }

  void addressesShownReadable_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << "http://example.org/a?b=1#c"
                           << "http://example.org/a?b=1#c";
    QTest::newRow("japanese path") << "http://example.org/%E6%97%A5%E6%9C%AC/%E8%AA%9E.html"
                                   << "http://example.org/日本/語.html";
    QTest::newRow("query and fragment") << "http://example.org/?q=%E6%9D%B1%E4%BA%AC#%E3%81%82"
                                        << "http://example.org/?q=東京#あ";
    QTest::newRow("idn host") << "http://xn--wgv71a119e.jp/"
                              << "http://日本語.jp/";
    QTest::newRow("idn with port and user") << "http://u@xn--bcher-kva.example:8080/x"
                                            << "http://u@bücher.example:8080/x";
    QTest::newRow("ascii escapes stay") << "http://example.org/a%2Fb%20c%3F%25%23"
                                        << "http://example.org/a%2Fb%20c%3F%25%23";
    QTest::newRow("invalid utf-8 stays") << "http://example.org/%E6%97%FF"
                                         << "http://example.org/%E6%97%FF";
    QTest::newRow("shift_jis bytes stay") << "http://example.org/%93%FA%96%7B"
                                          << "http://example.org/%93%FA%96%7B";
    QTest::newRow("mixed valid and broken") << "http://example.org/%E3%81%82%E3%81"
                                            << "http://example.org/あ%E3%81";
    QTest::newRow("ideographic space stays") << "http://example.org/a%E3%80%80b"
                                             << "http://example.org/a%E3%80%80b";
    QTest::newRow("bidi control stays") << "http://example.org/%E2%80%AEgpj"
                                        << "http://example.org/%E2%80%AEgpj";
    QTest::newRow("cyrillic look-alike stays ace") << "http://xn--80ak6aa92e.com/"
                                                   << "http://xn--80ak6aa92e.com/";
    QTest::newRow("mixed latin and cyrillic stays ace") << "http://xn--pple-43d.com/"
                                                        << "http://xn--pple-43d.com/";
    QTest::newRow("russian under its own tld") << "http://xn--d1acufc.xn--p1ai/"
                                               << "http://домен.рф/";
    QTest::newRow("file path") << "file:///tmp/%E6%97%A5%E6%9C%AC.html"
                               << "file:///tmp/日本.html";
    QTest::newRow("data stays") << "data:text/html,%E3%81%82"
                                << "data:text/html,%E3%81%82";
    QTest::newRow("empty") << ""
                           << "";
  }
  void addressesShownReadable() {
    QFETCH(QString, address);
    QFETCH(QString, shown);
    QCOMPARE(displayAddress(address), shown);
    // What is shown loads as the same address when the user presses Enter.
    if (!address.isEmpty() && !address.startsWith("data:"))
      QCOMPARE(addressToUrl(shown).toEncoded(), QUrl(address).toEncoded());
  }

  void downloadNamesAreTheServersOwn_data() {
    QTest::addColumn<QString>("suggested");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("name");
    QTest::newRow("leading dot kept") << ".hidden data.bin"
                                      << "http://h/x"
                                      << ".hidden data.bin";
    QTest::newRow("japanese kept") << "報告書 (最終).pdf"
                                   << "http://h/x"
                                   << "報告書 (最終).pdf";
    QTest::newRow("no folders") << "../../.bashrc"
                                << "http://h/x"
                                << ".bashrc";
    QTest::newRow("backslash folders") << "a\\b\\c.txt"
                                       << "http://h/x"
                                       << "c.txt";
    QTest::newRow("controls dropped") << QString("a\nb\x01.txt") << "http://h/x"
                                      << "ab.txt";
    QTest::newRow("dot dot is no name") << ".."
                                        << "http://h/dir/file.zip"
                                        << "file.zip";
    QTest::newRow("from the address") << ""
                                      << "http://h/dir/%E8%B3%87%E6%96%99.zip?x=1"
                                      << "資料.zip";
    QTest::newRow("nothing at all") << ""
                                    << "http://h/"
                                    << "download";
  }
  void downloadNamesAreTheServersOwn() {
    QFETCH(QString, suggested);
    QFETCH(QString, url);
    QFETCH(QString, name);
    QCOMPARE(downloadFileName(suggested, url), name);
  }

  void downloadSizesAndSpeedRead() {
    QCOMPARE(partFileFor("/d/a.zip"), QString("/d/a.zip.part"));
    QCOMPARE(sizeText(512), QString("512 バイト"));
    QCOMPARE(sizeText(1536), QString("1.5 KB"));
    QCOMPARE(sizeText(50 * 1024 * 1024), QString("50 MB"));
    QCOMPARE(progressText(1024, 4096, 0), QString("1.0 KB / 4.0 KB"));
    QCOMPARE(progressText(1024, -1, 2048), QString("1.0 KB、2.0 KB/秒"));
    QCOMPARE(progressPercent(50, 200), 25);
    QCOMPARE(progressPercent(300, 200), 100);
    QCOMPARE(progressPercent(5, -1), -1);
    SpeedMeter m;
    QCOMPARE(m.bytesPerSecond(), qint64(0));
    m.sample(0, 0);
    m.sample(1000, 1000);
    m.sample(2000, 3000);
    QCOMPARE(m.bytesPerSecond(), qint64(1500));
    m.sample(10000, 3000);  // stalled: old samples leave, no speed
    QCOMPARE(m.bytesPerSecond(), qint64(0));
  }

  void sitesNameTheHost() {
    QCOMPARE(siteOf("http://example.org/a"), QString("example.org"));
    QCOMPARE(siteOf("https://xn--wgv71a119e.jp:8443/"), QString("日本語.jp:8443"));
    QCOMPARE(siteOf("https://xn--80ak6aa92e.com/"), QString("xn--80ak6aa92e.com"));
    QCOMPARE(siteOf("file:///tmp/a.html"), QString("/tmp/a.html"));
  }
};

QTEST_APPLESS_MAIN(TestPageRules)
#include "test_page_rules.moc"
