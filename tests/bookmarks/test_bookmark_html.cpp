// The bookmark HTML file: files as browsers write them, encodings, export
// and import back, and files that are damaged or hostile.
#include <sys/stat.h>

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include "bookmark_test_util.h"
#include "bookmarks/bookmark_file.h"
#include "bookmarks/bookmark_html.h"
#include "platform/errors.h"
#include "platform/text_codec.h"

using namespace bmtest;
using bookmarks::importBookmarkHtml;

namespace {

// As the usual exporters write it: attributes, icons, descriptions,
// separators and the <p> that is never closed.
const char kExported[] = R"html(<!DOCTYPE NETSCAPE-Bookmark-file-1>
<!-- This is an automatically generated file.
     It will be read and overwritten.
     DO NOT EDIT! -->
<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=UTF-8">
<meta http-equiv="Content-Security-Policy" content="default-src 'self'; script-src 'none'; img-src data: *; object-src 'none'"></meta>
<TITLE>Bookmarks</TITLE>
<H1>Bookmarks Menu</H1>

<DL><p>
    <DT><A HREF="https://www.example.jp/" ADD_DATE="1700000000" LAST_MODIFIED="1700000001" ICON_URI="https://www.example.jp/favicon.ico" ICON="data:image/png;base64,iVBORw0KGgo=">日本語のページ</A>
    <DD>説明文は名前ではない
    <HR>
    <DT><H3 ADD_DATE="1700000000" LAST_MODIFIED="1700000002" PERSONAL_TOOLBAR_FOLDER="true">ツールバー</H3>
    <DL><p>
        <DT><A HREF="https://a.example/?x=1&amp;y=2" ADD_DATE="1">R&amp;D &lt;news&gt; &#12354;</A>
        <DT><H3>空のフォルダ</H3>
        <DL><p>
        </DL><p>
        <DT><H3>深い
            フォルダ</H3>
        <DL><p>
            <DT><A HREF="http://deep.example/" TAGS="x,y">  深いリンク  </A>
        </DL><p>
    </DL><p>
    <DT><A HREF="javascript:void(0)">ブックマークレット</A>
</DL><p>
)html";

BookmarkTree exportedTree() {
  return {E::link(QStringLiteral("日本語のページ"), QStringLiteral("https://www.example.jp/")),
          E::folder(QStringLiteral("ツールバー"),
                    {E::link(QStringLiteral("R&D <news> あ"), QStringLiteral("https://a.example/?x=1&y=2")),
                     E::folder(QStringLiteral("空のフォルダ")),
                     E::folder(QStringLiteral("深い フォルダ"),
                               {E::link(QStringLiteral("深いリンク"), QStringLiteral("http://deep.example/"))})}),
          E::link(QStringLiteral("ブックマークレット"), QStringLiteral("javascript:void(0)"))};
}

// Every entry of a tree in pre-order, for counting.
int countLinks(const BookmarkTree& tree) {
  int n = 0;
  for (const auto& e : tree) n += e.isFolder() ? countLinks(e.entries) : 1;
  return n;
}

int depthOf(const BookmarkTree& tree) {
  int d = 0;
  for (const auto& e : tree)
    if (e.isFolder()) d = std::max(d, 1 + depthOf(e.entries));
  return d;
}

// What the import is put in must always be savable as bookmark.xml.
void verifySavable(const BookmarkTree& entries) {
  try {
    bookmarks::serializeBookmarks({E::folder(QStringLiteral("import"), entries)});
  } catch (const ZelvoError& e) {
    QFAIL(qPrintable(e.text()));
  }
}

}  // namespace

class TestBookmarkHtml : public QObject {
  Q_OBJECT
 private slots:
  void readsWhatBrowsersExport() {
    const auto r = importBookmarkHtml(QByteArray(kExported));
    COMPARE_TREES(r.entries, exportedTree());
    QVERIFY(r.recognised);
    QCOMPARE(r.links, 4);
    QCOMPARE(r.folders, 3);
    QCOMPARE(r.linksWithoutAddress, 0);
    QCOMPARE(r.encoding, QString("UTF-8"));
  }

  void readsAnotherExportersLayout() {
    // Upper and lower case mixed, no indentation, the folder's <DL> on the
    // same line, a link without HREF and a folder with no <DL> at all.
    const QByteArray file =
        "<!doctype netscape-bookmark-file-1><meta charset=\"utf-8\"><title>Bookmarks</title><h1>Bookmarks</h1>"
        "<dl><p><dt><h3 add_date=\"1\">Bar</h3><dl><p><dt><a href=\"http://one/\">One</a><dt><a name=\"x\">No "
        "address</a></dl><p><dt><h3>Lonely</h3><dt><a href=\"http://two/\">Two</a></dl>";
    const auto r = importBookmarkHtml(file);
    COMPARE_TREES(r.entries, (BookmarkTree{E::folder("Bar", {E::link("One", "http://one/")}), E::folder("Lonely"),
                                           E::link("Two", "http://two/")}));
    QCOMPARE(r.linksWithoutAddress, 1);
    QVERIFY(r.recognised);
  }

  void encodings() {
    const QString name = QStringLiteral("日本語の名前・〜");
    // No declaration: UTF-8, not the HTML parser's Latin-1 default.
    const QByteArray plain =
        "<!DOCTYPE NETSCAPE-Bookmark-file-1><DL><p><DT><A HREF=\"http://x/\">" + name.toUtf8() + "</A></DL>";
    auto r = importBookmarkHtml(plain);
    COMPARE_TREES(r.entries, (BookmarkTree{E::link(name, "http://x/")}));

    // Shift_JIS, declared the old way.
    const QByteArray sjisFile =
        "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
        "charset=Shift_JIS\">\n<DL><p>\n<DT><H3>" +
        *textcodec::encodeShiftJis(QStringLiteral("フォルダ名")) + "</H3>\n<DL><p>\n<DT><A HREF=\"http://y/\">" +
        *textcodec::encodeShiftJis(QStringLiteral("表示")) + "</A>\n</DL><p>\n</DL><p>\n";
    r = importBookmarkHtml(sjisFile);
    COMPARE_TREES(
        r.entries,
        (BookmarkTree{E::folder(QStringLiteral("フォルダ名"), {E::link(QStringLiteral("表示"), "http://y/")})}));
    QCOMPARE(r.encoding.toLower(), QString("shift_jis"));

    // A byte order mark wins over nothing; an unknown name falls back to UTF-8.
    r = importBookmarkHtml("\xEF\xBB\xBF" + plain);
    COMPARE_TREES(r.entries, (BookmarkTree{E::link(name, "http://x/")}));
    r = importBookmarkHtml("<meta charset=\"x-no-such-code\">" + plain);
    QVERIFY(r.unknownEncoding);
    COMPARE_TREES(r.entries, (BookmarkTree{E::link(name, "http://x/")}));

    QCOMPARE(bookmarks::declaredCharset("<html><head><META http-equiv='content-type' content='text/html; "
                                        "CHARSET=euc-jp'>"),
             QString("euc-jp"));
    QCOMPARE(bookmarks::declaredCharset("<meta name=\"x\"><meta charset=UTF-8>"), QString("UTF-8"));
    QCOMPARE(bookmarks::declaredCharset("\xFF\xFE<\0"), QString("UTF-16LE"));
    QVERIFY(bookmarks::declaredCharset("<p>charset=utf-8 outside any meta</p>").isEmpty());
  }

  void exportThenImportGivesTheSameTree() {
    BookmarkTree tree = exportedTree();
    tree.push_back(E::folder(QStringLiteral("記号 \" ' & < > の名前"),
                             {E::link(QStringLiteral("アドレスなし"), QString()),
                              E::link(QString(), QStringLiteral("http://x/?a=\"b\"&c=<d>")),
                              E::folder(QStringLiteral("入れ子"), {E::folder(QStringLiteral("さらに"))}),
                              // Characters beyond the BMP (pairs of UTF-16 units).
                              E::link(QStringLiteral("絵文字 😀"), QStringLiteral("http://x/\U0001F600"))}));
    const QByteArray html = bookmarks::exportBookmarkHtml(tree);
    QVERIFY(html.startsWith("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"));
    QVERIFY(html.contains("charset=UTF-8"));
    QVERIFY(html.contains(QStringLiteral("<DT><H3>ツールバー</H3>").toUtf8()));
    QVERIFY(html.contains("HREF=\"http://x/?a=&quot;b&quot;&amp;c=&lt;d&gt;\""));
    const auto back = importBookmarkHtml(html);
    COMPARE_TREES(back.entries, tree);
    QVERIFY(back.recognised);
    // An empty tree is still a file of the format.
    QVERIFY(importBookmarkHtml(bookmarks::exportBookmarkHtml({})).entries.empty());
  }

  void damagedFilesImportWhatCanBeRead() {
    // Cut off in the middle of a tag: what came before it is there.
    const QByteArray full(kExported);
    const auto cut = importBookmarkHtml(full.left(full.indexOf("深いリンク")));
    QVERIFY(cut.entries.size() >= 2);
    QCOMPARE(cut.entries[0], exportedTree()[0]);
    QCOMPARE(cut.entries[1].entries[0], exportedTree()[1].entries[0]);
    verifySavable(cut.entries);

    // Unclosed <DL>s and <H3>s everywhere.
    const auto unclosed = importBookmarkHtml("<DL><DT><H3>a<DL><DT><A HREF=x>b<DT><H3>c<DL><DT><A HREF=y>d");
    QCOMPARE(countLinks(unclosed.entries), 2);
    verifySavable(unclosed.entries);

    // An ordinary page is not the format; its links are still read.
    const auto page = importBookmarkHtml("<html><body><p>See <a href=\"http://z/\">z</a></p></body></html>");
    QVERIFY(!page.recognised);
    COMPARE_TREES(page.entries, (BookmarkTree{E::link("z", "http://z/")}));

    // Control characters that bookmark.xml cannot hold are dropped.
    const auto control = importBookmarkHtml("<DL><DT><A HREF=\"http://c/&#1;\">a&#8;b&#xFFFF;c</A></DL>");
    QCOMPARE(control.entries.size(), size_t(1));
    QCOMPARE(control.entries[0].name, QString("abc"));
    verifySavable(control.entries);
  }

  void deepNestingIsCutToWhatTheFileCanHold() {
    // 10 000 levels of folders, with a link at the bottom.
    QByteArray deep = "<!DOCTYPE NETSCAPE-Bookmark-file-1><DL><p>";
    const int levels = 10000;
    for (int i = 0; i < levels; ++i) deep += "<DT><H3>f</H3><DL><p>";
    deep += "<DT><A HREF=\"http://bottom/\">bottom</A>";
    for (int i = 0; i < levels; ++i) deep += "</DL><p>";
    deep += "<DT><A HREF=\"http://after/\">after</A></DL>";
    const auto r = importBookmarkHtml(deep);
    QCOMPARE(countLinks(r.entries), 2);
    QVERIFY(r.foldersTooDeep > 0);
    QVERIFY(depthOf(r.entries) < bookmarks::kMaxFolderDepth);
    verifySavable(r.entries);
    QCOMPARE(r.entries.back(), E::link("after", "http://after/"));
  }

  // Tags left open or never opened, by the ten thousand, cost one pass and
  // lose nothing that follows them.
  void unmatchedTagsLoseNothing() {
    QByteArray file = "<!DOCTYPE NETSCAPE-Bookmark-file-1><DL><p>";
    for (int i = 0; i < 20000; ++i) file += "<b></i><DL><p><DT><A HREF=\"http://x/\">x";
    file += "</DL><DT><H3>last</H3><DL><p><DT><A HREF=\"http://end/\">end</A></DL>";
    const auto r = importBookmarkHtml(file);
    QCOMPARE(r.links, 20001);
    QCOMPARE(r.entries.size(), size_t(20001));
    QCOMPARE(r.entries.back(), E::folder("last", {E::link("end", "http://end/")}));
    verifySavable(r.entries);
  }

  // Only regular files are read: a FIFO or a device is refused at once.
  void onlyRegularFilesAreRead() {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("pipe.html");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& path : {fifo, QStringLiteral("/dev/zero")}) {
      try {
        (void)bookmarks::readBookmarkHtmlFile(path);
        QFAIL(qPrintable(path + " was read"));
      } catch (const EInOutError& e) {
        QVERIFY2(e.text().contains(QStringLiteral("通常のファイルではない")), qPrintable(e.text()));
      }
    }
    const QString file = dir.filePath("bookmarks.html");
    QVERIFY(writeRaw(file, bookmarks::exportBookmarkHtml(exportedTree())));
    COMPARE_TREES(bookmarks::readBookmarkHtmlFile(file).entries, exportedTree());
    QVERIFY_THROWS_EXCEPTION(EInOutError, bookmarks::readBookmarkHtmlFile(dir.filePath("none.html")));
  }

  void binaryDataIsSafe() {
    auto* rng = QRandomGenerator::global();
    for (int round = 0; round < 50; ++round) {
      QByteArray bytes(1 + int(rng->bounded(4096)), Qt::Uninitialized);
      for (char& c : bytes) c = char(rng->bounded(256));
      if (round % 2) bytes.prepend("<!DOCTYPE NETSCAPE-Bookmark-file-1><DL><DT><A HREF=\"");
      const auto r = importBookmarkHtml(bytes);
      verifySavable(r.entries);
    }
    QVERIFY(importBookmarkHtml(QByteArray()).entries.empty());
    QVERIFY(importBookmarkHtml(QByteArray(100, '\0')).entries.empty());
  }
};

QTEST_APPLESS_MAIN(TestBookmarkHtml)
#include "test_bookmark_html.moc"
