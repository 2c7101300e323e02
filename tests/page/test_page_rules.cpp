// The answers the program gives pages the same way in both engines: which
// dialogs show, which windows open, how addresses are shown.
#include <QTest>
#include <QUrl>

#include "engine/address.h"
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

  void pageTextIsCutToWhatADialogShows() {
    const QString note = dialogTextCutNote();
    QCOMPARE(dialogTextShown("短い\n文"), QString("短い\n文"));
    const QString huge(4 * 1024 * 1024, u'x');
    QCOMPARE(dialogTextShown(huge), QString(kDialogTextMaxChars, u'x') + "\n" + note);
    QCOMPARE(dialogTextShown(QString(kDialogTextMaxChars, u'x')), QString(kDialogTextMaxChars, u'x'));
    QCOMPARE(dialogTextShown("a\nb\nc\nd", 100, 2), "a\nb\n" + note);
    QCOMPARE(dialogTextShown("a\nb\n", 100, 2), QString("a\nb\n"));  // an empty last line is no line cut
    // Never half a character: "𠮷" is two UTF-16 units.
    QCOMPARE(dialogTextShown("ab𠮷c", 3, 10), "ab\n" + note);
    QCOMPARE(dialogTextKept("ab𠮷c", 4, 1), qsizetype(4));
    // Titles: one line, cut with an ellipsis.
    QCOMPARE(dialogLineShown("example.org", 20), QString("example.org"));
    QCOMPARE(dialogLineShown("abcdefgh", 5), QString("abcd…"));
    QCOMPARE(dialogLineShown("one\ntwo", 20), QString("one…"));
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

  // Other browsers' rule: one script, or Latin with Japanese, Chinese or
  // Korean scripts, and nothing that reads as a Latin name.
  void hostsShownInUnicodeOnlyWhenNoLookAlike_data() {
    QTest::addColumn<QString>("ace");
    QTest::addColumn<QString>("shown");
    const auto stays = [](const char* name, const char* ace) { QTest::newRow(name) << ace << ace; };
    stays("latin and armenian", "xn--ggle-vifa.com");
    stays("latin script g", "xn--oogle-qmc.com");
    stays("cherokee and latin", "xn--mazon-bby.com");
    stays("cyrillic apple", "xn--80ak6aa92e.com");
    stays("cyrillic paypal", "xn--80aa0cbo65f.com");
    stays("latin and greek", "xn--mega-fpd.com");
    stays("latin with a kana slash", "xn--ab-8j4a.jp");  // "aノb" reads as "a/b"
    stays("one bad label keeps all", "xn--wgv71a119e.xn--80ak6aa92e.com");
    stays("empty punycode", "xn--.com");
    stays("broken punycode", "xn--a-ecp.xn--zz9999999.com");
    QTest::newRow("han") << "xn--wgv71a119e.jp"
                         << "日本語.jp";
    QTest::newRow("katakana") << "xn--zckzah.jp"
                              << "テスト.jp";
    QTest::newRow("katakana with long mark") << "xn--4dkp5a8a.jp"
                                             << "ラーメン.jp";
    QTest::newRow("kana and latin") << "xn--zone-um4cqkvg.jp"
                                    << "ゲームzone.jp";
    QTest::newRow("latin and katakana") << "xn--sony-ok4c7e7d.jp"
                                        << "sonyストア.jp";
    QTest::newRow("japanese top-level") << "xn--r8jz45g.xn--zckzah"
                                        << "例え.テスト";
    QTest::newRow("hangul") << "xn--3e0bk47br7k.kr"
                            << "한국어.kr";
    QTest::newRow("han and latin") << "xn--abc-u68dy61b.cn"
                                   << "中国abc.cn";
    QTest::newRow("latin with accents") << "xn--bcher-kva.example"
                                        << "bücher.example";
    QTest::newRow("greek") << "xn--hxargifdar.gr"
                           << "ελληνικά.gr";
    QTest::newRow("russian") << "xn--e1afmkfd.com"
                             << "пример.com";
    QTest::newRow("cyrillic look-alike under its own top-level") << "xn--n1aahb.xn--p1ai"
                                                                 << "сосо.рф";
    QTest::newRow("ascii") << "example.org"
                           << "example.org";
  }
  void hostsShownInUnicodeOnlyWhenNoLookAlike() {
    QFETCH(QString, ace);
    QFETCH(QString, shown);
    QCOMPARE(displayHost(ace), shown);
    if (QUrl("https://" + ace + "/").isValid()) QCOMPARE(siteOf("https://" + ace + "/"), shown);
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
