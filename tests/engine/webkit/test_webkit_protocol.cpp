// The frame <-> WebKit host line protocol: encoding, decoding, framing, the
// progress values sent while a page loads, and the frame's keys the host
// hands over before the page sees them.
#include <QTest>

#include "engine/webkit/webkit_protocol.h"
#include "page/frame_key_rules.h"

using wkproto::Message;

class TestWebKitProtocol : public QObject {
  Q_OBJECT
 private slots:
  void roundTripKeepsEveryValueType();
  void stringsNeedingEscapesSurviveOnOneLine();
  void decodesForeignJson();
  void rejectsMalformedInput_data();
  void rejectsMalformedInput();
  void typedReadsFallBack();
  void lineReaderSplitsAcrossChunks();
  void lineReaderCutsOverlongLinesToTheirHead();
  void cutLinesStillNameTheirMessage();
  void shortenLeavesOutTheLongestFields();
  void progressNeverReportsFinishedWhileLoading();
  void frameKeysGoBeforeThePageOnlyWhenTheFrameOwnsThem();
};

void TestWebKitProtocol::roundTripKeepsEveryValueType() {
  Message m;
  m.set("ev", "created").set("view", 7).set("xid", std::int64_t(0x3a00007)).set("back", true).set("forward", false);
  m.set("value", 0.25).set("whole", 2.0).set("big", std::int64_t(-9007199254740993LL));
  const std::string line = wkproto::encode(m);
  auto back = wkproto::decode(line);
  QVERIFY(back);
  QVERIFY(*back == m);
  QCOMPARE(back->integer("xid"), std::int64_t(0x3a00007));
  QCOMPARE(back->number("value"), 0.25);
  // A floating-point value with no fraction stays floating-point.
  QVERIFY(std::holds_alternative<double>(back->fields().at("whole")));
  QCOMPARE(back->integer("big"), std::int64_t(-9007199254740993LL));
}

void TestWebKitProtocol::stringsNeedingEscapesSurviveOnOneLine() {
  const std::string nasty = std::string("a\"b\\c\nd\re\tf") + '\x01' + "\x7f" +
                            "日本語のタイトル \xe2\x80\xa8 sep \xe2\x80\xa9 end 😀" + std::string(1, '\0') + "z";
  Message m;
  m.set("text", nasty);
  const std::string line = wkproto::encode(m);
  QVERIFY(line.find('\n') == std::string::npos);
  QVERIFY(line.find('\r') == std::string::npos);
  QVERIFY(line.find('\0') == std::string::npos);
  QVERIFY(line.find("\xe2\x80\xa8") == std::string::npos);
  auto back = wkproto::decode(line);
  QVERIFY(back);
  QCOMPARE(back->str("text"), nasty);
}

void TestWebKitProtocol::decodesForeignJson() {
  // Spacing, escaped slashes, \u escapes with a surrogate pair, exponents, null.
  auto m = wkproto::decode(
      R"(  { "cmd" : "navigate", "url":"http:\/\/x\/\u65e5\ud83d\ude00", "level": 1.25e0, "n": null, "ok": true }  )");
  QVERIFY(m);
  QCOMPARE(m->str("cmd"), std::string("navigate"));
  QCOMPARE(m->str("url"), std::string("http://x/日😀"));
  QCOMPARE(m->number("level"), 1.25);
  QVERIFY(m->has("n"));
  QCOMPARE(m->str("n", "fallback"), std::string("fallback"));
  QVERIFY(m->boolean("ok"));
  auto empty = wkproto::decode("{}");
  QVERIFY(empty);
  QVERIFY(empty->fields().empty());
}

void TestWebKitProtocol::rejectsMalformedInput_data() {
  QTest::addColumn<QByteArray>("line");
  QTest::newRow("empty") << QByteArray("");
  QTest::newRow("not an object") << QByteArray("[1,2]");
  QTest::newRow("unterminated") << QByteArray(R"({"a":"b)");
  QTest::newRow("missing colon") << QByteArray(R"({"a" 1})");
  QTest::newRow("nested object") << QByteArray(R"({"a":{"b":1}})");
  QTest::newRow("nested array") << QByteArray(R"({"a":[1]})");
  QTest::newRow("trailing garbage") << QByteArray(R"({"a":1} x)");
  QTest::newRow("trailing comma") << QByteArray(R"({"a":1,})");
  QTest::newRow("raw newline in string") << QByteArray("{\"a\":\"x\ny\"}");
  QTest::newRow("lone low surrogate") << QByteArray(R"({"a":"\udc00"})");
  QTest::newRow("high surrogate alone") << QByteArray(R"({"a":"\ud800x"})");
  QTest::newRow("bad escape") << QByteArray(R"({"a":"\q"})");
  QTest::newRow("bare word") << QByteArray(R"({"a":nope})");
  QTest::newRow("unquoted key") << QByteArray(R"({a:1})");
}

void TestWebKitProtocol::rejectsMalformedInput() {
  QFETCH(QByteArray, line);
  std::string error;
  QVERIFY(!wkproto::decode(std::string_view(line.constData(), line.size()), &error));
  QVERIFY(!error.empty());
}

void TestWebKitProtocol::typedReadsFallBack() {
  auto m = wkproto::decode(R"({"view":"3","n":4,"d":2.9,"b":1})");
  QVERIFY(m);
  QCOMPARE(m->integer("view", -1), std::int64_t(-1));  // a string is no number
  QCOMPARE(m->integer("d"), std::int64_t(2));          // truncated
  QCOMPARE(m->number("n"), 4.0);
  QCOMPARE(m->boolean("b", false), false);  // 1 is not a boolean
  QCOMPARE(m->str("missing", "x"), std::string("x"));
}

void TestWebKitProtocol::lineReaderSplitsAcrossChunks() {
  wkproto::LineReader r;
  r.feed("{\"a\":1}\n{\"b\"");
  auto first = r.next();
  QVERIFY(first);
  QCOMPARE(*first, std::string("{\"a\":1}"));
  QVERIFY(!r.next());
  QCOMPARE(r.pending(), std::size_t(4));
  r.feed(":2}\r\n\n{\"c\":3}\n");
  QCOMPARE(r.next().value_or("?"), std::string("{\"b\":2}"));  // CR dropped
  QCOMPARE(r.next().value_or("?"), std::string(""));
  QCOMPARE(r.next().value_or("?"), std::string("{\"c\":3}"));
  QVERIFY(!r.next());
  QCOMPARE(r.pending(), std::size_t(0));

  // Byte by byte gives the same lines.
  wkproto::LineReader slow;
  const std::string stream = "one\ntwo\nthree\n";
  for (char c : stream) slow.feed(&c, 1);
  QCOMPARE(slow.next().value_or("?"), std::string("one"));
  QCOMPARE(slow.next().value_or("?"), std::string("two"));
  QCOMPARE(slow.next().value_or("?"), std::string("three"));
  QVERIFY(!slow.next());
}

void TestWebKitProtocol::lineReaderCutsOverlongLinesToTheirHead() {
  wkproto::LineReader r(8);
  r.feed("short\n0123456789");  // the second line is already too long
  QCOMPARE(r.next().value_or("?"), std::string("short"));
  QVERIFY(!r.cut());
  QVERIFY(r.pending() <= 8);
  r.feed("more of the long line");
  QVERIFY(r.pending() <= 8);
  r.feed(" end\nok\n");
  // The long line is not lost without a word: its head comes, marked cut.
  QCOMPARE(r.next().value_or("?"), std::string("01234567"));
  QVERIFY(r.cut());
  QCOMPARE(r.next().value_or("?"), std::string("ok"));
  QVERIFY(!r.cut());
  QVERIFY(!r.next());
  QCOMPARE(r.droppedLines(), std::size_t(1));
  // A line of exactly the limit passes whole.
  r.feed("12345678\n");
  QCOMPARE(r.next().value_or("?"), std::string("12345678"));
  QVERIFY(!r.cut());
  // One too long in a single chunk with its line end.
  r.feed("123456789\nafter\n");
  QCOMPARE(r.next().value_or("?"), std::string("12345678"));
  QVERIFY(r.cut());
  QCOMPARE(r.next().value_or("?"), std::string("after"));
  QCOMPARE(r.droppedLines(), std::size_t(2));

  // With the real limit, lines of several megabytes arrive whole, however
  // the stream is split.
  wkproto::LineReader big;
  const std::string url = "data:text/html," + std::string(3 << 20, 'x');
  const std::string line = wkproto::encode(Message().set("cmd", "navigate").set("view", 3).set("url", url)) + "\n";
  for (std::size_t at = 0; at < line.size(); at += 65536) big.feed(line.substr(at, 65536));
  auto whole = big.next();
  QVERIFY(whole && !big.cut());
  QCOMPARE(wkproto::decode(*whole).value_or(Message()).str("url"), url);
}

void TestWebKitProtocol::cutLinesStillNameTheirMessage() {
  // The head of a cut line gives its kind and view: they are written first.
  Message m;
  m.set("uri", std::string(10000, 'u')).set("view", 12).set("ev", "new-window").set("aaa", 1);
  const std::string line = wkproto::encode(m);
  QVERIFY(line.rfind("{\"ev\":\"new-window\",\"view\":12,", 0) == 0);
  const Message head = wkproto::decodeHead(std::string_view(line).substr(0, 100));
  QCOMPARE(head.str("ev"), std::string("new-window"));
  QCOMPARE(head.integer("view"), std::int64_t(12));
  QVERIFY(!head.has("uri"));
  // A number cut in the middle is not taken for a smaller one.
  QVERIFY(!wkproto::decodeHead("{\"ev\":\"x\",\"view\":12").has("view"));
  QVERIFY(wkproto::decodeHead("garbage").fields().empty());
}

void TestWebKitProtocol::shortenLeavesOutTheLongestFields() {
  Message m;
  m.set("ev", "load").set("view", 4).set("phase", "finished");
  m.set("uri", std::string(5000, 'u')).set("title", std::string(3000, 't'));
  Message fits = m;
  QVERIFY(wkproto::shorten(fits, 1 << 20));
  QVERIFY(fits == m);  // nothing to do

  QVERIFY(wkproto::shorten(fits, 4000));
  QVERIFY(wkproto::encode(fits).size() <= 4000);
  QVERIFY(!fits.has("uri"));
  QCOMPARE(fits.str("title"), m.str("title"));
  QCOMPARE(fits.str("cut"), std::string("uri"));
  // The event that ends a load keeps what it needs.
  QCOMPARE(fits.str("phase"), std::string("finished"));
  QCOMPARE(fits.integer("view"), std::int64_t(4));

  QVERIFY(wkproto::shorten(fits, 200));
  QCOMPARE(fits.str("cut"), std::string("uri,title"));
  // A message that cannot fit even bare says so.
  Message tiny;
  tiny.set("ev", "load").set("view", 4);
  QVERIFY(!wkproto::shorten(tiny, 5));
}

void TestWebKitProtocol::progressNeverReportsFinishedWhileLoading() {
  QCOMPARE(wkproto::progressWhileLoading(0.0), 0);
  QCOMPARE(wkproto::progressWhileLoading(-0.5), 0);
  QCOMPARE(wkproto::progressWhileLoading(std::nan("")), 0);
  QCOMPARE(wkproto::progressWhileLoading(0.1), 10);
  QCOMPARE(wkproto::progressWhileLoading(0.567), 56);
  QCOMPARE(wkproto::progressWhileLoading(0.995), 99);
  QCOMPARE(wkproto::progressWhileLoading(1.0), 99);
  QCOMPARE(wkproto::progressWhileLoading(3.0), 99);
}

void TestWebKitProtocol::frameKeysGoBeforeThePageOnlyWhenTheFrameOwnsThem() {
  using framekeys::Key;
  using namespace framekeys;
  // The frame's keys, in X's terms.
  QVERIFY((frameKeyBeforePage(Qt::ALT | Qt::Key_Left) == Key{0xff51, kAlt}));
  QVERIFY((frameKeyBeforePage(Qt::CTRL | Qt::Key_N) == Key{'n', kControl}));
  QVERIFY((frameKeyBeforePage(QKeyCombination(Qt::Key_F5)) == Key{0xffc2, 0}));
  QVERIFY((frameKeyBeforePage(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab) == Key{0xff09, kControl | kShift}));
  QVERIFY((frameKeyBeforePage(Qt::CTRL | Qt::Key_Backtab) == Key{0xff09, kControl | kShift}));
  QVERIFY((frameKeyBeforePage(Qt::ALT | Qt::Key_F) == Key{'f', kAlt}));
  // The page's: typing, Esc, Tab, and the editing keys of its fields.
  for (QKeyCombination k :
       {QKeyCombination(Qt::Key_A), QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::Key_Tab),
        QKeyCombination(Qt::SHIFT | Qt::Key_Delete), Qt::CTRL | Qt::Key_A, Qt::CTRL | Qt::Key_C, Qt::CTRL | Qt::Key_V,
        Qt::CTRL | Qt::SHIFT | Qt::Key_Z, Qt::CTRL | Qt::Key_Left, Qt::CTRL | Qt::SHIFT | Qt::Key_End,
        Qt::CTRL | Qt::Key_Backspace, QKeyCombination(Qt::Key_MediaPlay)})
    QVERIFY2(!frameKeyBeforePage(k), qPrintable(QString::number(k.toCombined(), 16)));

  // The list crosses the protocol whole; what does not read is left out.
  const KeyList keys = {{0xff51, kAlt}, {'n', kControl}, {0xff09, kControl | kShift}, {'+', kControl}};
  QVERIFY(decode(encode(keys)) == keys);
  QCOMPARE(decode("zz:1,ff51:8,:,0:4,ffc2").size(), std::size_t(1));

  // The host's key events as they come: Num Lock and Caps Lock on, Shift+Tab
  // as the left tab, a capital from Caps Lock.
  const unsigned numLock = 0x10, capsLock = 0x2;
  QVERIFY(contains(keys, normalise(0xff51, kAlt | numLock)));
  QVERIFY(contains(keys, normalise('N', kControl | capsLock)));
  QVERIFY(!contains(keys, normalise('N', kControl | kShift)));
  QVERIFY(contains(keys, normalise(0xfe20, kControl | kShift)));
  QVERIFY(!contains(keys, normalise(0xff51, 0)));
  QVERIFY(!contains(keys, normalise(0xff51, kAlt | kShift)));
  // "+" takes Shift on some layouts: it does not count there.
  QVERIFY(contains(keys, normalise('+', kControl | kShift)));
  QVERIFY(!contains(keys, normalise('+', kAlt)));
}

QTEST_APPLESS_MAIN(TestWebKitProtocol)
#include "test_webkit_protocol.moc"
