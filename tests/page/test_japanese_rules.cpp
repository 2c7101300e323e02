// The display-free rules behind the engines' Japanese: Chromium's language
// flag, the WebKit host's page for a failed load, and which items the
// Internet Explorer windows' context menu offers where.
#include <QTest>
#include <map>

#include "engine/engine_language.h"
#include "page/page_menu_rules.h"

using engine_language::LoadFailure;
using I = PageMenuItem;

namespace {

QList<I> items(const PageMenuContext& c) {
  QList<I> out;
  for (const PageMenuEntry& e : pageMenuEntries(c)) out << e.item;
  return out;
}

bool enabled(const PageMenuContext& c, I item) {
  for (const PageMenuEntry& e : pageMenuEntries(c))
    if (e.item == item) return e.enabled;
  return false;
}

}  // namespace

class TestJapaneseRules : public QObject {
  Q_OBJECT
 private slots:
  void chromiumRunsInJapaneseUnlessToldOtherwise() {
    using engine_language::chromiumFlags;
    QCOMPARE(chromiumFlags(""), std::string("--lang=ja"));
    QCOMPARE(chromiumFlags("--no-sandbox"), std::string("--no-sandbox --lang=ja"));
    QCOMPARE(chromiumFlags("--disable-gpu --lang=de"), std::string("--disable-gpu --lang=de"));
    QCOMPARE(chromiumFlags("--language=x"), std::string("--language=x --lang=ja"));
    QCOMPARE(chromiumFlags("--x--lang=de"), std::string("--x--lang=de --lang=ja"));
  }

  void webkitMessagesInJapaneseWhateverTheLocale() {
    using engine_language::EnvChange;
    auto changes = [](std::map<std::string, std::string> vars) {
      std::map<std::string, std::optional<std::string>> out;
      for (const EnvChange& c : engine_language::japaneseMessagesEnvironment([&](const char* name) -> const char* {
             auto it = vars.find(name);
             return it == vars.end() ? nullptr : it->second.c_str();
           }))
        out[c.first] = c.second;
      return out;
    };
    using M = std::map<std::string, std::optional<std::string>>;
    // A bare system: nothing set, or C.
    QVERIFY((changes({}) == M{{"LC_MESSAGES", "C.UTF-8"}, {"LANGUAGE", "ja"}}));
    QVERIFY((changes({{"LANG", "C"}}) == M{{"LC_MESSAGES", "C.UTF-8"}, {"LANGUAGE", "ja"}}));
    // A user's locale stays; only the messages' language changes.
    QVERIFY((changes({{"LANG", "de_DE.UTF-8"}, {"LANGUAGE", "de"}}) ==
             M{{"LC_MESSAGES", "de_DE.UTF-8"}, {"LANGUAGE", "ja"}}));
    QVERIFY((changes({{"LANG", "de_DE.UTF-8"}, {"LC_MESSAGES", "POSIX"}}) ==
             M{{"LC_MESSAGES", "C.UTF-8"}, {"LANGUAGE", "ja"}}));
    // LC_ALL gives way to the categories it stood for.
    const M all = changes({{"LC_ALL", "C"}, {"LC_NUMERIC", "de_DE.UTF-8"}});
    QCOMPARE(all.at("LC_ALL"), std::optional<std::string>());
    QCOMPARE(all.at("LC_NUMERIC"), std::optional<std::string>("C"));
    QCOMPARE(all.at("LC_CTYPE"), std::optional<std::string>("C"));
    QCOMPARE(all.at("LC_MESSAGES"), std::optional<std::string>("C.UTF-8"));
  }

  void loadFailedPageNamesThePlaceAndEscapes() {
    const std::string dns = engine_language::loadFailedPage("http://user@bad.example:81/a?<b>",
                                                            LoadFailure::HostNotFound, "Error resolving <x>");
    QVERIFY(dns.find("<title>サーバーが見つかりません</title>") != std::string::npos);
    QVERIFY(dns.find("「bad.example」") != std::string::npos);
    QVERIFY(dns.find("a?&lt;b&gt;") != std::string::npos);
    QVERIFY(dns.find("Error resolving &lt;x&gt;") != std::string::npos);
    QVERIFY(dns.find("<b>") == std::string::npos);
    const std::string file =
        engine_language::loadFailedPage("file:///tmp/%E6%97%A5.html", LoadFailure::FileNotFound, "");
    QVERIFY(file.find("「/tmp/日.html」") != std::string::npos);
    const std::string v6 = engine_language::loadFailedPage("http://[::1]:8080/", LoadFailure::ConnectionRefused, "");
    QVERIFY(v6.find("「[::1]」") != std::string::npos);
  }

  void contextMenuItemsFollowWhatIsUnderThePointer() {
    PageMenuContext link;
    link.link = link.image = true;
    QCOMPARE(items(link), (QList<I>{I::OpenLinkInNewWindow, I::SaveLinkAs, I::CopyLinkAddress, I::Separator,
                                    I::SaveImageAs, I::CopyImageAddress, I::CopyImage}));

    PageMenuContext field;
    field.editable = field.selection = field.canPaste = true;
    QCOMPARE(items(field), (QList<I>{I::Cut, I::Copy, I::Paste, I::SelectAll}));
    QVERIFY(!enabled(field, I::Cut));
    QVERIFY(enabled(field, I::Paste));

    PageMenuContext selection;
    selection.selection = true;
    QCOMPARE(items(selection), (QList<I>{I::Copy}));

    PageMenuContext page;
    page.canGoForward = page.loading = true;
    QCOMPARE(items(page), (QList<I>{I::Back, I::Forward, I::Stop, I::Separator, I::SelectAll}));
    QVERIFY(!enabled(page, I::Back));
    QVERIFY(enabled(page, I::Forward));
    page.loading = false;
    page.canViewSource = true;
    QCOMPARE(items(page), (QList<I>{I::Back, I::Forward, I::Reload, I::Separator, I::SelectAll, I::ViewSource}));

    for (I i : items(link) + items(field) + items(page))
      if (i != I::Separator) QVERIFY(!pageMenuCaption(i).isEmpty() && pageMenuObjectName(i).startsWith("mnuPage"));
  }
};

QTEST_APPLESS_MAIN(TestJapaneseRules)
#include "test_japanese_rules.moc"
