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

  void engines_data() {
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("address");
    QTest::newRow("Google") << "Google"
                            << "Google"
                            << "https://www.google.com/search?q=%E4%BA%AC%E9%83%BD%20%26%20a%2Bb";
    QTest::newRow("Yahoo") << "yahoo"
                           << "Yahoo! JAPAN"
                           << "https://search.yahoo.co.jp/search?p=%E4%BA%AC%E9%83%BD%20%26%20a%2Bb";
    QTest::newRow("Bing") << "Bing"
                          << "Bing"
                          << "https://www.bing.com/search?q=%E4%BA%AC%E9%83%BD%20%26%20a%2Bb";
    QTest::newRow("DuckDuckGo") << "DuckDuckGo"
                                << "DuckDuckGo"
                                << "https://duckduckgo.com/?q=%E4%BA%AC%E9%83%BD%20%26%20a%2Bb";
    QTest::newRow("Wikipedia") << "Wikipedia"
                               << "Wikipedia (日本語)"
                               << "https://ja.wikipedia.org/w/index.php?search=%E4%BA%AC%E9%83%BD%20%26%20a%2Bb";
    QTest::newRow("unknown is Google") << "Altavista"
                                       << "Google"
                                       << "https://www.google.com/search?q=%E4%BA%AC%E9%83%BD%20%26%20a%2Bb";
  }
  void engines() {
    QFETCH(QString, id);
    QFETCH(QString, caption);
    QFETCH(QString, address);
    const search::Engine& e = search::engineById(id);
    QCOMPARE(e.caption, caption);
    QCOMPARE(search::searchAddress(e.address, QStringLiteral("京都 & a+b")), address);
  }
};

QTEST_APPLESS_MAIN(TestSearchRules)
#include "test_search_rules.moc"
