// Engine rules (kinds, matching, the stored form) and the way two compared
// windows follow each other.
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "browser/compare_sync.h"
#include "engine/engine_rules.h"
#include "platform/ini_file.h"

using namespace engine_rules;

namespace {

std::optional<Engine> pick(const QList<EngineRule>& rules, const QString& address) { return engineFor(rules, address); }

bool match(const QString& pattern, const QString& url) {
  return matches(EngineRule{pattern, Engine::Gecko}, QUrl(url));
}

}  // namespace

class TestEngineRules : public QObject {
  Q_OBJECT
 private slots:
  void kinds() {
    QCOMPARE(kindOf("example.jp"), Kind::Host);
    QCOMPARE(kindOf("localhost"), Kind::Host);
    QCOMPARE(kindOf("*.example.jp"), Kind::HostPattern);
    QCOMPARE(kindOf("https://example.jp/app/"), Kind::UrlPrefix);
    QCOMPARE(kindOf("file:///home/user/"), Kind::UrlPrefix);
    QCOMPARE(kindOf("about:blank"), Kind::UrlPrefix);
    for (const char* bad : {"", "exa mple.jp", "*", "*.", "foo*.jp", "*example.jp", "*.*.jp", "example.jp/path",
                            "example.jp:8080", "https://exa mple.jp/", "x:", " "})
      QVERIFY2(!kindOf(QString::fromUtf8(bad)), bad);
  }

  void hostsMatchWholeNamesInAnyCase() {
    QVERIFY(match("Example.JP", "http://example.jp/x"));
    QVERIFY(match("example.jp", "https://EXAMPLE.jp:8443/"));
    QVERIFY(match("example.jp", "http://example.jp./"));
    QVERIFY(!match("example.jp", "http://www.example.jp/"));
    QVERIFY(!match("example.jp", "http://example.jp.evil.test/"));
    QVERIFY(!match("example.jp", "file:///example.jp"));
    // Internationalised names match in either form.
    QVERIFY(match(QStringLiteral("日本語.jp"), "http://xn--wgv71a119e.jp/"));
  }

  void patternsMatchTheHostAndEverythingUnderIt() {
    QVERIFY(match("*.example.jp", "http://example.jp/"));
    QVERIFY(match("*.example.jp", "http://a.b.example.jp/"));
    QVERIFY(!match("*.example.jp", "http://badexample.jp/"));
    QVERIFY(!match("*.example.jp", "http://example.jp.evil.test/"));
  }

  void prefixes() {
    QVERIFY(match("https://example.jp/app/", "https://example.jp/app/page?x=1"));
    QVERIFY(!match("https://example.jp/app/", "https://example.jp/apple"));
    QVERIFY(!match("https://example.jp/app/", "http://example.jp/app/"));
    // A bare origin is that origin, not every name that begins with it.
    QVERIFY(match("https://example.jp", "https://example.jp/any/where"));
    QVERIFY(match("https://Example.jp/", "https://example.jp"));
    QVERIFY(!match("https://example.jp", "https://example.jp.evil.test/"));
    QVERIFY(!match("https://example.jp", "https://example.jp:8443/"));
    QVERIFY(match("file:///srv/pages/", "file:///srv/pages/a.html"));
  }

  void firstMatchingRuleChoosesForWhatTheUserTyped() {
    const QList<EngineRule> rules = {
        {"intra.example.jp", Engine::IE}, {"*.example.jp", Engine::Gecko}, {"file:///srv/pages/", Engine::Gecko}};
    QCOMPARE(pick(rules, "http://intra.example.jp/"), Engine::IE);
    QCOMPARE(pick(rules, "www.example.jp/news"), Engine::Gecko);    // no scheme, as typed
    QCOMPARE(pick(rules, "/srv/pages/index.html"), Engine::Gecko);  // a path, as File > Open gives
    QCOMPARE(pick(rules, "http://other.test/"), std::nullopt);
    QCOMPARE(pick(rules, ""), std::nullopt);
    QCOMPARE(pick({}, "http://intra.example.jp/"), std::nullopt);
  }

  void storedForm() {
    const EngineRule rule{"https://example.jp/a,b", Engine::Gecko};
    QCOMPARE(format(rule), QString("Gecko,https://example.jp/a,b"));
    QCOMPARE(parse(format(rule)), rule);
    QCOMPARE(parse(" ie , example.jp "), (EngineRule{"example.jp", Engine::IE}));
    for (const char* bad : {"", "IE", "IE,", "Opera,example.jp", "Gecko,exa mple.jp", ",example.jp"})
      QVERIFY2(!parse(QString::fromUtf8(bad)), bad);
  }

  void readAndWriteTheirOwnSection() {
    QTemporaryDir dir;
    const QString path = dir.filePath("config.ini");
    {
      QFile f(path);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write(
          "[General]\nLastEngine=IE\n; kept\n[EngineRule]\nCount=5\nRule1=Gecko,*.example.jp\nRule2=Opera,x.jp\n"
          "Rule3=IE\nRule5=IE,b.example.jp\n[Bar]\nZWidth=100\n");
    }
    IniFile ini(path);
    // Malformed and missing entries are skipped, the rest keep their order.
    QCOMPARE(read(ini), (QList<EngineRule>{{"*.example.jp", Engine::Gecko}, {"b.example.jp", Engine::IE}}));

    write(ini, {{"a.example.jp", Engine::IE}});
    QCOMPARE(read(ini), (QList<EngineRule>{{"a.example.jp", Engine::IE}}));
    QCOMPARE(ini.ReadString(kSection, "Rule5", "?"), QString());  // an old entry does not linger
    QCOMPARE(ini.ReadString("General", "LastEngine", ""), QString("IE"));
    QCOMPARE(ini.ReadInteger("Bar", "ZWidth", 0), 100);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().contains("; kept\n"));

    // A count nobody could mean reads no more than the limit.
    ini.WriteString(kSection, "Count", "2147483647");
    QCOMPARE(read(ini).size(), 1);
  }

  void comparedWindowsFollowEachOther() {
    CompareSync sync("http://a/");
    // The right window's first page is the one it was sent to, even if
    // redirected: nothing goes back.
    QCOMPARE(sync.shown(CompareSync::Right, "https://a/"), std::nullopt);
    // The left one finishing the load it had begun, or reloading, is no news.
    QCOMPARE(sync.shown(CompareSync::Left, "http://a/"), std::nullopt);

    // A link followed on the left loads on the right, once.
    QCOMPARE(sync.shown(CompareSync::Left, "http://b/"), QString("http://b/"));
    QCOMPARE(sync.shown(CompareSync::Right, "http://b/"), std::nullopt);

    // And the other way round; a page that redirects elsewhere in the other
    // engine does not start a chase.
    QCOMPARE(sync.shown(CompareSync::Right, "http://c/"), QString("http://c/"));
    QCOMPARE(sync.shown(CompareSync::Left, "http://c/mobile"), std::nullopt);
    QCOMPARE(sync.shown(CompareSync::Left, "http://d/"), QString("http://d/"));

    // A page both already show is not sent again.
    QCOMPARE(sync.shown(CompareSync::Right, "http://d/"), std::nullopt);
    QCOMPARE(sync.shown(CompareSync::Right, "http://d/"), std::nullopt);
    QCOMPARE(sync.shown(CompareSync::Left, "http://d/"), std::nullopt);
    // Going back is a new page too.
    QCOMPARE(sync.shown(CompareSync::Left, "http://c/mobile"), QString("http://c/mobile"));
    QCOMPARE(sync.shown(CompareSync::Right, "http://c/mobile"), std::nullopt);

    // Only web pages go across: the other engine would load anything else
    // as the browser's own load.
    for (const char* other :
         {"chrome://version", "chrome://inducebrowsercrashforrealz", "file:///etc/passwd", "view-source:http://e/",
          "data:text/html,x", "about:blank", "javascript:alert(1)", "http:///etc/passwd", ""}) {
      QCOMPARE(sync.shown(CompareSync::Right, other), std::nullopt);
      QCOMPARE(sync.shown(CompareSync::Left, other), std::nullopt);
    }
    QCOMPARE(sync.shown(CompareSync::Left, "https://f/"), QString("https://f/"));
  }
};

QTEST_APPLESS_MAIN(TestEngineRules)
#include "test_engine_rules.moc"
