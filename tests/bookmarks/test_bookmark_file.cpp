// The bookmark file: exact bytes written, round trips, the entry rules on
// hand-made files, hostile files, size, and what a save does on failure.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "bookmark_test_util.h"
#include "bookmarks/bookmark_file.h"
#include "platform/errors.h"
#include "platform/text_codec.h"
#include "run_as_nobody.h"

using namespace bmtest;
using bookmarks::TopLevelAddress;

namespace {

QByteArray sjis(const QString& s) { return *textcodec::encodeShiftJis(s); }

BookmarkTree read(const QByteArray& bytes, TopLevelAddress rule = TopLevelAddress::LastChild) {
  return bookmarks::parseBookmarks(bytes, rule).entries;
}

// A tree of `top` folders, each with `mid` folders of `leaves` links.
BookmarkTree bigTree(int top, int mid, int leaves) {
  BookmarkTree tree;
  for (int i = 0; i < top; ++i) {
    std::vector<BookmarkEntry> mids;
    for (int j = 0; j < mid; ++j) {
      std::vector<BookmarkEntry> links;
      for (int k = 0; k < leaves; ++k)
        links.push_back(E::link(QStringLiteral("リンク %1-%2-%3").arg(i).arg(j).arg(k),
                                QStringLiteral("http://example.org/%1/%2/%3").arg(i).arg(j).arg(k)));
      mids.push_back(E::folder(QStringLiteral("中 %1-%2").arg(i).arg(j), std::move(links)));
    }
    tree.push_back(E::folder(QStringLiteral("上 %1").arg(i), std::move(mids)));
  }
  return tree;
}

}  // namespace

class TestBookmarkFile : public QObject {
  Q_OBJECT

  QTemporaryDir dir;
  QString path() const { return dir.filePath(QStringLiteral("bookmark.xml")); }

 private slots:
  void init() {
    QDir d(dir.path());
    for (const QString& f : d.entryList(QDir::Files | QDir::Hidden)) d.remove(f);
  }

  // ---- writing ---------------------------------------------------------

  void writesExactBytesForSmallTree() {
    const BookmarkTree tree{
        E::link(QStringLiteral("ホーム"), QStringLiteral("http://a/")),
        E::folder(QStringLiteral("仕事"),
                  {E::link(QStringLiteral("b"), QStringLiteral("http://b/")),
                   E::folder(QStringLiteral("深い"),
                             {E::link(QStringLiteral("c"), QStringLiteral("u&c")), E::folder(QStringLiteral("空"))})}),
        E::link(QString(), QString()),
    };
    const QString expected = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n"
        "<bookmark>"
        "\n  <file>\n    <name>ホーム</name>\n    <url>http://a/</url>\n  </file>"
        "\n  <directory>\n    <name>仕事</name>"
        "\n      <file>\n        <name>b</name>\n        <url>http://b/</url>\n      </file>"
        "\n    <directory>\n        <name>深い</name>"
        "\n        <file>\n          <name>c</name>\n          <url>u&amp;c</url>\n        </file>"
        "\n      <directory>\n          <name>空</name></directory>"
        "</directory>"
        "</directory>"
        "\n  <file>\n    <name></name>\n    <url></url>\n  </file>"
        "\n</bookmark>\n");
    const QByteArray bytes = bookmarks::serializeBookmarks(tree);
    QCOMPARE(bytes, sjis(expected));
    // The empty folder stays a folder, and the whole tree comes back.
    COMPARE_TREES(read(bytes), tree);
    COMPARE_TREES(read(bytes, TopLevelAddress::NodeAfterName), tree);
  }

  void writesEmptyTree() {
    const QByteArray bytes = bookmarks::serializeBookmarks({});
    QCOMPARE(bytes, QByteArray("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<bookmark>\n</bookmark>\n"));
    QVERIFY(read(bytes).empty());
  }

  void roundTripKeepsEveryCharacterAndSpace() {
    // Japanese; markup characters; white space at either end and alone;
    // a CR; characters Shift_JIS lacks or holds only as a best fit.
    const QString odd = QStringLiteral("‖ ¥ 〜 − ¢ é \U00020BB7 😀 ①ⅰ ｶﾅ");
    const BookmarkTree tree{
        E::link(QStringLiteral("  前後に空白  "), QStringLiteral(" http://x/?a=1&b=<2> ")),
        E::link(QStringLiteral("   "), QStringLiteral("\t")),
        E::folder(QStringLiteral(" \n "), {E::link(QStringLiteral("改\r\n行"), QStringLiteral("a]]>b"))}),
        E::folder(odd, {E::folder(QStringLiteral("x"), {E::link(odd, odd)})}),
        E::link(QStringLiteral("フォルダ"), QStringLiteral("フォルダ")),
    };
    const QByteArray bytes = bookmarks::serializeBookmarks(tree);
    COMPARE_TREES(read(bytes), tree);
    COMPARE_TREES(read(bytes, TopLevelAddress::NodeAfterName), tree);
    QVERIFY(!bookmarks::parseBookmarks(bytes, TopLevelAddress::LastChild).damaged);
    // Shift_JIS on disk; what it cannot hold exactly as references.
    QVERIFY(bytes.contains(sjis(QStringLiteral("前後に空白"))));
    QVERIFY(bytes.contains("&#8214;"));    // ‖, not the best-fit ∥
    QVERIFY(bytes.contains("&#165;"));     // ¥, not a backslash
    QVERIFY(bytes.contains("&#134071;"));  // outside the BMP
    QVERIFY(bytes.contains("&#13;"));
    QVERIFY(textcodec::isValidUtf8(bytes) == false);
  }

  void refusesWhatTheFileCannotHold() {
    QVERIFY(bmtest::writeRaw(path(), "old"));
    for (const QString& bad : {QStringLiteral("a\x01z"), QString(QChar(0xD800)), QStringLiteral("x\uFFFF")}) {
      bool thrown = false;
      try {
        bookmarks::saveBookmarkFile(path(), {E::folder(QStringLiteral("f"), {E::link(QStringLiteral("n"), bad)})});
      } catch (const ZelvoError& e) {
        thrown = true;
        QVERIFY2(e.text().contains(QStringLiteral("保存できない文字")), qPrintable(e.text()));
      }
      QVERIFY(thrown);
      QCOMPARE(readAll(path()), QByteArray("old"));
    }
    // Folders nested beyond the limit.
    BookmarkTree deep{E::link(QStringLiteral("leaf"), QStringLiteral("u"))};
    for (int i = 0; i < bookmarks::kMaxFolderDepth; ++i) deep = {E::folder(QString::number(i), std::move(deep))};
    QVERIFY_THROWS_EXCEPTION(ZelvoError, bookmarks::serializeBookmarks(deep));
    deep = std::move(deep[0].entries);  // exactly at the limit: fine
    COMPARE_TREES(read(bookmarks::serializeBookmarks(deep)), deep);
  }

  // ---- reading ---------------------------------------------------------

  void readsHandMadeFilesByTheEntryRules() {
    // No indentation, another root, an unknown entry element, a folder with
    // only its name, comments; links with three children.
    const QByteArray bytes =
        sjis(QStringLiteral("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><root><!-- c -->"
                            "<file><name>一</name><url>u1</url></file>"
                            "<link><title>二</title><href>u2</href></link>"
                            "<directory><name>空</name></directory>"
                            "<file><name>三</name><url>second</url><extra>last</extra></file>"
                            "<link><title>六</title><href>first</href><icon>last</icon></link>"
                            "<directory>\t<name>f</name>"
                            "   <file><name>四</name><extra>x</extra><url>url</url><extra/></file>"
                            "   <file><name>五</name></file>"
                            "   <file/>"
                            "</directory></root>"));
    // An element beside the `url` element never takes the address's place.
    const BookmarkTree menu{
        E::link(QStringLiteral("一"), QStringLiteral("u1")),
        E::link(QStringLiteral("二"), QStringLiteral("u2")),
        E::folder(QStringLiteral("空")),
        E::link(QStringLiteral("三"), QStringLiteral("second")),
        E::link(QStringLiteral("六"), QStringLiteral("last")),
        E::folder(QStringLiteral("f"), {E::link(QStringLiteral("四"), QStringLiteral("url")),
                                        E::link(QStringLiteral("五"), QStringLiteral("五")), E::link({}, {})}),
    };
    COMPARE_TREES(read(bytes, TopLevelAddress::LastChild), menu);
    BookmarkTree bar = menu;
    bar[4].address = QStringLiteral("first");  // without `url`, the top level differs
    COMPARE_TREES(read(bytes, TopLevelAddress::NodeAfterName), bar);
    // The extra elements and the comment are not carried: read in part.
    const auto r = bookmarks::parseBookmarks(bytes, TopLevelAddress::LastChild);
    QVERIFY(r.damaged && r.foreign && !r.replaced);
  }

  void readInPartWhenASaveWouldDropSomething() {
    const auto partly = [](const char* body) {
      const auto r =
          bookmarks::parseBookmarks(QByteArray("<?xml version=\"1.0\"?>") + body, TopLevelAddress::LastChild);
      return r.damaged && r.foreign;
    };
    QVERIFY(!partly("<x><file><name>n</name><url>u</url></file><directory><name>d</name></directory></x>"));
    QVERIFY(!partly("<bookmark>\n <file>\n<name><![CDATA[a<b]]></name><url/></file></bookmark>"));
    QVERIFY(partly("<bookmark a=\"1\"><file><name>n</name><url>u</url></file></bookmark>"));
    QVERIFY(partly("<bookmark><file><name lang=\"ja\">n</name><url>u</url></file></bookmark>"));
    QVERIFY(partly("<bookmark><file><name>n<b>old</b></name><url>u</url></file></bookmark>"));
    QVERIFY(partly("<bookmark><directory><name>d</name>stray text</directory></bookmark>"));
    QVERIFY(partly("<bookmark>text<file><name>n</name><url>u</url></file></bookmark>"));
    QVERIFY(partly("<bookmark><file><name>n</name><?pi x?><url>u</url></file></bookmark>"));
    QVERIFY(partly("<!-- before --><bookmark></bookmark>"));
  }

  void readsOtherEncodingsAndMissingDeclaration() {
    const BookmarkTree one{E::link(QStringLiteral("日本"), QStringLiteral("http://日本/"))};
    const QString body = QStringLiteral("<bookmark><file><name>日本</name><url>http://日本/</url></file></bookmark>");
    // UTF-8 without declaration is plain XML.
    auto r = bookmarks::parseBookmarks(body.toUtf8(), TopLevelAddress::LastChild);
    COMPARE_TREES(r.entries, one);
    QVERIFY(!r.damaged);
    // Shift_JIS without declaration is read, and kept as a backup on save.
    r = bookmarks::parseBookmarks(sjis(body), TopLevelAddress::LastChild);
    COMPARE_TREES(r.entries, one);
    QVERIFY(r.damaged);
    // Other spellings of the encoding name.
    for (const char* name : {"SHIFT_JIS", "shift_jis", "SJIS", "Windows-31J", "CP932"}) {
      const QByteArray decl = QByteArray("<?xml version=\"1.0\" encoding=\"") + name + "\"?>";
      r = bookmarks::parseBookmarks(decl + sjis(body), TopLevelAddress::LastChild);
      COMPARE_TREES(r.entries, one);
      QVERIFY2(!r.damaged, name);
    }
  }

  void hostileFilesNeitherCrashNorLeak() {
    struct Case {
      const char* what;
      QByteArray bytes;
      bool someEntries;
    };
    QByteArray nested = "<?xml version=\"1.0\"?><bookmark>";
    for (int i = 0; i < 10000; ++i) nested += "<directory><name>d</name>";
    QByteArray laughs =
        "<?xml version=\"1.0\"?><!DOCTYPE b [<!ENTITY a "
        "\"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">";
    QByteArray prev = "a";
    for (int i = 0; i < 12; ++i) {
      const QByteArray name = "l" + QByteArray::number(i);
      laughs += "<!ENTITY " + name + " \"" + ("&" + prev + ";").repeated(10) + "\">";
      prev = name;
    }
    laughs += "]><bookmark><file><name>&" + prev + ";</name><url>u</url></file></bookmark>";
    const QList<Case> cases{
        {"external entity",
         "<?xml version=\"1.0\"?><!DOCTYPE b [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
         "<bookmark><file><name>&x;</name><url>u</url></file></bookmark>",
         true},
        {"external DTD",
         "<?xml version=\"1.0\"?><!DOCTYPE b SYSTEM \"http://127.0.0.1:9/x.dtd\"><bookmark><file><name>n</name>"
         "<url>u</url></file></bookmark>",
         true},
        {"billion laughs", laughs, true},
        {"10 000 levels", nested, true},
        {"invalid Shift_JIS",
         "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><bookmark><file><name>a\x81\x20\xFF\xA0z</name>"
         "<url>u</url></file><file><name>after</name><url>v</url></file></bookmark>",
         true},
        {"truncated", "<?xml version=\"1.0\"?><bookmark><file><name>a</name><url>u</url></file><file><na", true},
        {"garbage", QByteArray("\x00\xFF\xFE garbage <<<>>> &&& \x01\x02", 22), false},
        {"binary", QByteArray(4096, '\xC3'), false},
        {"no root element", "<?xml version=\"1.0\"?>", false},
    };
    for (const Case& c : cases) {
      const auto r = bookmarks::parseBookmarks(c.bytes, TopLevelAddress::NodeAfterName);
      QVERIFY2(r.damaged, c.what);
      QVERIFY2(r.entries.empty() != c.someEntries, c.what);
      const QString all = dump(r.entries);
      QVERIFY2(!all.contains(QStringLiteral("root:")), c.what);  // nothing of /etc/passwd
      QVERIFY2(all.size() < 100000, c.what);                     // no entity expanded
      // Whatever was read can be saved and reads back the same.
      COMPARE_TREES(read(bookmarks::serializeBookmarks(r.entries), TopLevelAddress::NodeAfterName), r.entries);
    }
    // The bad bytes become U+FFFD; the entries after them are kept.
    const auto bad = bookmarks::parseBookmarks(cases[4].bytes, TopLevelAddress::LastChild).entries;
    QCOMPARE(bad.size(), size_t(2));
    QCOMPARE(bad[0].name, QStringLiteral("a\uFFFD \uFFFD\uFFFDz"));
    QCOMPARE(bad[1].name, QStringLiteral("after"));
    QVERIFY(read("").empty());
    QVERIFY(!bookmarks::parseBookmarks(" \n", TopLevelAddress::LastChild).damaged);
  }

  void noLimitAt255() {
    BookmarkTree wide;
    for (int i = 0; i < 1000; ++i) wide.push_back(E::link(QString::number(i), QStringLiteral("u%1").arg(i)));
    wide.push_back(E::folder(QStringLiteral("f"), wide));
    COMPARE_TREES(read(bookmarks::serializeBookmarks(wide)), wide);

    const BookmarkTree big = bigTree(10, 10, 100);  // 10 110 nodes
    QCOMPARE(bookmarks::nodeCount(big), qsizetype(10110));
    COMPARE_TREES(read(bookmarks::serializeBookmarks(big), TopLevelAddress::NodeAfterName), big);
  }

  // ---- the file on disk ----------------------------------------------------

  void missingFileReadsEmpty() { QVERIFY(bookmarks::readBookmarkFile(path(), TopLevelAddress::LastChild).empty()); }

  void everySaveKeepsTheFileItReplaces() {
    const BookmarkTree one{E::link(QStringLiteral("a"), QStringLiteral("b"))};
    const BookmarkTree two{E::link(QStringLiteral("c"), QStringLiteral("d"))};
    // No file: nothing to keep.
    bookmarks::saveBookmarkFile(path(), one);
    QVERIFY(!QFileInfo::exists(path() + ".bak"));
    // One generation: the file each save replaced.
    QCOMPARE(bookmarks::saveBookmarkFile(path(), two), bookmarks::serializeBookmarks(two));
    QCOMPARE(readAll(path() + ".bak"), bookmarks::serializeBookmarks(one));
    bookmarks::saveBookmarkFile(path(), one);
    QCOMPARE(readAll(path() + ".bak"), bookmarks::serializeBookmarks(two));
    COMPARE_TREES(bookmarks::readBookmarkFile(path(), TopLevelAddress::LastChild), one);
    QVERIFY(!QFileInfo::exists(path() + ".orig"));

    // A file read only in part is also kept where no later save replaces it.
    const QByteArray broken = "<bookmark><file><name>x</name><url>y</url></file><oops";
    QVERIFY(writeRaw(path(), broken));
    bookmarks::saveBookmarkFile(path(), one);
    QCOMPARE(readAll(path() + ".orig"), broken);
    QCOMPARE(readAll(path() + ".bak"), broken);
    bookmarks::saveBookmarkFile(path(), two);
    QCOMPARE(readAll(path() + ".orig"), broken);
    QCOMPARE(readAll(path() + ".bak"), bookmarks::serializeBookmarks(one));
    // Another such file never overwrites the older copy.
    QVERIFY(writeRaw(path(), "garbage"));
    bookmarks::saveBookmarkFile(path(), one);
    QCOMPARE(readAll(path() + ".orig"), broken);
    QCOMPARE(readAll(path() + ".orig.2"), QByteArray("garbage"));
    QVERIFY(writeRaw(path(), broken));
    bookmarks::saveBookmarkFile(path(), one);
    QVERIFY(!QFileInfo::exists(path() + ".orig.3"));
  }

  void whatIsReadCanBeSavedAgain() {
    // Found by fuzzing: a name read with U+FFFF, which no save could write.
    QFile found(QFINDTESTDATA("data/reads-but-could-not-save.bin"));
    QVERIFY(found.open(QIODevice::ReadOnly));
    const QByteArray bytes = found.readAll();
    for (const TopLevelAddress rule : {TopLevelAddress::LastChild, TopLevelAddress::NodeAfterName}) {
      const auto r = bookmarks::parseBookmarks(bytes, rule);
      QVERIFY(r.damaged && r.replaced);
      const QString all = dump(r.entries);
      QVERIFY(all.contains(QChar(0xFFFD)));
      QVERIFY(!all.contains(QChar(0xFFFF)));
      COMPARE_TREES(read(bookmarks::serializeBookmarks(r.entries), rule), r.entries);
    }
    // A control character given as a character reference in recovered text.
    const auto r = bookmarks::parseBookmarks("<bookmark><file><name>a&#1;b&#xFFFE;</name><url>u</url></file><x",
                                             TopLevelAddress::LastChild);
    QVERIFY(r.damaged);
    for (const BookmarkEntry& e : r.entries) bookmarks::serializeBookmarks({e});
  }

  void partialReadIsReportedOnceNamingTheCopyKept() {
    QStringList notes;
    bookmarks::setReadReporter([&](const QString& m) { notes << m; });
    const QByteArray broken = "<bookmark><file><name>x</name><url>y</url></file><oops";
    QVERIFY(writeRaw(path(), broken));
    // The menu, the side bar and the editor each read it: one report.
    for (int i = 0; i < 3; ++i) {
      const BookmarkTree t = bookmarks::readBookmarkFile(path(), TopLevelAddress::LastChild);
      QCOMPARE(t.front().address, QStringLiteral("y"));
    }
    QCOMPARE(notes.size(), 1);
    QVERIFY2(notes[0].contains(path() + ".orig"), qPrintable(notes[0]));
    QVERIFY(notes[0].contains(QStringLiteral("壊れている")));
    // A clean file says nothing; another partial one is reported again,
    // naming the copy its save will keep.
    bookmarks::saveBookmarkFile(path(), {E::link(QStringLiteral("a"), QStringLiteral("b"))});
    bookmarks::readBookmarkFile(path(), TopLevelAddress::LastChild);
    QCOMPARE(notes.size(), 1);
    QVERIFY(writeRaw(path(), "<bookmark><file><name>x</name><url>y</url><icon/></file></bookmark>"));
    bookmarks::readBookmarkFile(path(), TopLevelAddress::LastChild);
    QCOMPARE(notes.size(), 2);
    QVERIFY2(notes[1].contains(path() + ".orig.2"), qPrintable(notes[1]));
    QVERIFY(notes[1].contains(QStringLiteral("読み込めない内容")));
    bookmarks::setReadReporter({});
  }

  void oldSpellingIsReadAndBecomesTheBackup() {
    const QString legacy = dir.filePath(QStringLiteral("BookMark.xml"));
    const QByteArray old = bookmarks::serializeBookmarks({E::link(QStringLiteral("古い"), QStringLiteral("u"))});
    QVERIFY(writeRaw(legacy, old));
    bookmarks::FileVersion version;
    COMPARE_TREES(bookmarks::readBookmarkFile(path(), TopLevelAddress::NodeAfterName, &version),
                  (BookmarkTree{E::link(QStringLiteral("古い"), QStringLiteral("u"))}));
    QCOMPARE(version, bookmarks::FileVersion(old));
    const BookmarkTree now{E::link(QStringLiteral("新しい"), QStringLiteral("v"))};
    bookmarks::saveBookmarkFile(path(), now, &version);
    QCOMPARE(readAll(path()), bookmarks::serializeBookmarks(now));
    QCOMPARE(readAll(path() + ".bak"), old);
    QVERIFY(!QFileInfo::exists(legacy));
    // With both there, the lower-case name is the file.
    QVERIFY(writeRaw(legacy, old));
    COMPARE_TREES(bookmarks::readBookmarkFile(path(), TopLevelAddress::LastChild), now);
  }

  void saveNeverWritesOverAChangeOnDisk() {
    const BookmarkTree mine{E::link(QStringLiteral("mine"), QStringLiteral("m"))};
    bookmarks::saveBookmarkFile(path(), {E::link(QStringLiteral("first"), QStringLiteral("f"))});
    bookmarks::FileVersion version;
    bookmarks::readBookmarkFile(path(), TopLevelAddress::NodeAfterName, &version);
    const QByteArray theirs = bookmarks::serializeBookmarks({E::link(QStringLiteral("theirs"), QStringLiteral("t"))});
    QVERIFY(writeRaw(path(), theirs));
    bool thrown = false;
    try {
      bookmarks::saveBookmarkFile(path(), mine, &version);
    } catch (const bookmarks::EBookmarksChanged& e) {
      thrown = true;
      QVERIFY2(e.text().contains(path() + ".bak"), qPrintable(e.text()));
    }
    QVERIFY(thrown);
    QCOMPARE(readAll(path()), theirs);
    QCOMPARE(readAll(path() + ".bak"), theirs);
    // Read again, the save goes through; unchanged files are no conflict.
    bookmarks::readBookmarkFile(path(), TopLevelAddress::NodeAfterName, &version);
    version = bookmarks::saveBookmarkFile(path(), mine, &version);
    bookmarks::saveBookmarkFile(path(), mine, &version);
    // A file that appeared since a read found none is a change too; one
    // removed meanwhile holds nothing to lose.
    const bookmarks::FileVersion none;
    QVERIFY_THROWS_EXCEPTION(bookmarks::EBookmarksChanged, bookmarks::saveBookmarkFile(path(), mine, &none));
    QFile::remove(path());
    bookmarks::saveBookmarkFile(path(), mine, &version);
    QCOMPARE(readAll(path()), bookmarks::serializeBookmarks(mine));
  }

  void failedSaveLeavesOldFileIntact() {
    const QByteArray old = bookmarks::serializeBookmarks({E::link(QStringLiteral("old"), QStringLiteral("u"))});
    QVERIFY(writeRaw(path(), old));
    const BookmarkTree tree{E::link(QStringLiteral("new"), QStringLiteral("v"))};
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0555) == 0);
    const int rc = runAsNobody([&] {
      try {
        bookmarks::saveBookmarkFile(path(), tree);
      } catch (const EInOutError& e) {
        return e.text() == path() + QStringLiteral(" に書き込めません") ? 0 : 2;
      }
      return 1;
    });
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    QCOMPARE(rc, 0);
    QCOMPARE(readAll(path()), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("bookmark.xml")});

    // A file that cannot be read is not replaced blind.
    QVERIFY(::chmod(QFile::encodeName(path()).constData(), 0200) == 0);
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0777) == 0);
    const int rc2 = runAsNobody([&] {
      try {
        bookmarks::saveBookmarkFile(path(), tree);
      } catch (const EInOutError&) {
        return 0;
      }
      return 1;
    });
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    ::chmod(QFile::encodeName(path()).constData(), 0644);
    QCOMPARE(rc2, 0);
    QCOMPARE(readAll(path()), old);
  }

  void helpers() {
    const BookmarkTree tree{E::folder(QStringLiteral("f"), {E::link(QStringLiteral("a"), QStringLiteral("u1")),
                                                            E::folder(QStringLiteral("g"))}),
                            E::link(QStringLiteral("b"), QStringLiteral("u2"))};
    QCOMPARE(bookmarks::urlListPreOrder(tree), (QStringList{bookmarks::kFolderMarker, QStringLiteral("u1"),
                                                            bookmarks::kFolderMarker, QStringLiteral("u2")}));
    QCOMPARE(bookmarks::menuCaption(QStringLiteral("R&D")), QStringLiteral("&R&&D"));
    QCOMPARE(bookmarks::menuCaption(QString()), QStringLiteral("&"));
  }
};

QTEST_APPLESS_MAIN(TestBookmarkFile)
#include "test_bookmark_file.moc"
