// What the address box takes for an address and what it searches for, and
// the search engines' addresses.
#include <QTest>

#include "search/search_rules.h"

class TestSearchRules : public QObject {
  Q_OBJECT
 private slots:
  void addressOrSearch_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("terms");  // "-": an address, loaded as typed
    const QString address = QStringLiteral("-");
    auto row = [](const char* name, const QString& typed, const QString& terms) {
      QTest::newRow(name) << typed << terms;
    };
    row("empty", "", address);
    row("scheme", "https://example.org/a b", address);
    row("about", "about:blank", address);
    row("file", "file:///tmp/a.html", address);
    row("other scheme with slashes", "gopher://x", address);
    row("bare host", "example.org", address);
    row("host and path", "example.org/x.html?a=b c", "example.org/x.html?a=b c");
    row("host with port", "example.org:8080/x", address);
    row("Japanese host", "京都.jp", address);
    row("localhost", "localhost", address);
    row("localhost port", "LocalHost:8080/x", address);
    row("IPv4", "192.168.0.1", address);
    row("IPv4 port path", "127.0.0.1:8000/a", address);
    row("IPv6", "[::1]:8080/", address);
    row("broken IPv6", "[zz]", "[zz]");
    row("absolute path", "/tmp/a.html", address);
    row("path with space", "/tmp/my page.html", address);
    row("home path", "~/a.html", address);
    row("relative path", "./a.html", address);
    row("words", "zelvo browser", "zelvo browser");
    row("Japanese words", "京都 天気", "京都 天気");
    row("Japanese word", "京都", "京都");
    row("single word", "zelvo", "zelvo");
    row("number with a dot", "3.14", "3.14");
    row("word ending in a dot", "e.g.", "e.g.");
    row("word and colon", "note: milk", "note: milk");
    row("word with a bad port", "foo:bar", "foo:bar");
    row("leading question mark", "?example.org", "example.org");
    row("question mark and words", "  ? 京都 天気 ", "京都 天気");
    row("full-width question mark", "？京都", "京都");
  }
  void addressOrSearch() {
    QFETCH(QString, typed);
    QFETCH(QString, terms);
    const std::optional<QString> got = search::searchTerms(typed);
    QCOMPARE(got.value_or(QStringLiteral("-")), terms);
  }

  void engines() {
    // Each engine's address for words with spaces, "&" and "+"; an unknown id is Google.
    const QString q = QStringLiteral("%E4%BA%AC%E9%83%BD%20%26%20a%2Bb");
    const QList<QStringList> table = {
        {"Google", "Google", "https://www.google.com/search?q="},
        {"yahoo", "Yahoo! JAPAN", "https://search.yahoo.co.jp/search?p="},
        {"Bing", "Bing", "https://www.bing.com/search?q="},
        {"DuckDuckGo", "DuckDuckGo", "https://duckduckgo.com/?q="},
        {"Wikipedia", "Wikipedia (日本語)", "https://ja.wikipedia.org/w/index.php?search="},
        {"Altavista", "Google", "https://www.google.com/search?q="},
    };
    for (const QStringList& row : table) {
      const search::Engine& e = search::engineById(row[0]);
      QCOMPARE(e.caption, row[1]);
      QCOMPARE(search::searchAddress(e.address, QStringLiteral("京都 & a+b")), row[2] + q);
    }
  }
};

QTEST_APPLESS_MAIN(TestSearchRules)
#include "test_search_rules.moc"
