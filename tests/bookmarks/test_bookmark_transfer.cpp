// Bookmarks in and out through the frame: an import appends a folder of its
// own, saves through the ordinary save and rebuilds every view (the editor's
// tree too); a file with nothing readable changes nothing; an export gives
// back the whole tree.
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "bookmark_test_util.h"
#include "bookmarks/bookmark_editor.h"
#include "bookmarks/bookmark_file.h"
#include "bookmarks/bookmark_html.h"
#include "frame_fixture.h"
#include "page_test_util.h"
#include "screenshot.h"
#include "test_main.h"

using namespace bmtest;

namespace {

const BookmarkTree kExisting = {E::link(QStringLiteral("トップ"), "http://top/"),
                                E::folder(QStringLiteral("ニュース"), {E::link("a", "http://news/a")})};

const char kOtherBrowser[] =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
    "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n"
    "    <DT><H3 ADD_DATE=\"1\" PERSONAL_TOOLBAR_FOLDER=\"true\">ブックマーク バー</H3>\n    <DL><p>\n"
    "        <DT><A HREF=\"https://www.example.jp/\" ADD_DATE=\"1\" "
    "ICON=\"data:image/png;base64,AA==\">例のサイト</A>\n"
    "        <DT><H3>開発</H3>\n        <DL><p>\n"
    "            <DT><A HREF=\"https://dev.example.jp/docs\">資料</A>\n"
    "        </DL><p>\n    </DL><p>\n    <HR>\n"
    "    <DT><A>アドレスのない項目</A>\n"
    "    <DT><A HREF=\"https://news.example.jp/\">ニュース &amp; 天気</A>\n</DL><p>\n";

const BookmarkEntry kImported = E::folder(
    "other-browser",
    {E::folder(QStringLiteral("ブックマーク バー"),
               {E::link(QStringLiteral("例のサイト"), "https://www.example.jp/"),
                E::folder(QStringLiteral("開発"), {E::link(QStringLiteral("資料"), "https://dev.example.jp/docs")})}),
     E::link(QStringLiteral("ニュース & 天気"), "https://news.example.jp/")});

QStringList topTexts(QTreeWidget* t) {
  QStringList out;
  for (int i = 0; i < t->topLevelItemCount(); ++i) out << t->topLevelItem(i)->text(0);
  return out;
}

}  // namespace

class TestBookmarkTransfer : public QObject {
  Q_OBJECT

  FrameFixture* fx = nullptr;
  TMainForm* f = nullptr;

  void start(const QByteArray& bookmarkFile) {
    fx = new FrameFixture;
    fx->writeConfig("[General]\nLastEngine=IE\n");
    QVERIFY(writeRaw(fx->path("bookmark.xml"), bookmarkFile));
    f = fx->start();
    f->resize(900, 650);
    QVERIFY(QTest::qWaitForWindowExposed(f));
  }
  BookmarkTree onDisk() const {
    return bookmarks::readBookmarkFile(fx->path("bookmark.xml"), bookmarks::TopLevelAddress::LastChild);
  }
  // Chooses `path` in the import or export dialog the command opens.
  void choose(QAction* command, const char* dialogName, const QString& path) {
    command->trigger();
    auto* dialog = visibleWindow<QFileDialog>(QString::fromLatin1(dialogName));
    QVERIFY(dialog);
    dialog->selectFile(path);
    QMetaObject::invokeMethod(dialog, "accept");
  }

 private slots:
  void cleanup() { endFrame(fx); }

  void importAppendsAFolderAndRebuildsEveryView() {
    start(bookmarks::serializeBookmarks(kExisting));
    const QString source = fx->path("other-browser.html");
    QVERIFY(writeRaw(source, kOtherBrowser));
    const QList<QAction*> fixed = f->mnuBookMark->actions().mid(f->mnuBookMark->actions().size() - 2);
    QCOMPARE(fixed, (QList<QAction*>{f->mnuBMImport, f->mnuBMExport}));
    QCOMPARE(f->mnuBMImport->text(), QStringLiteral("インポート..."));
    QCOMPARE(f->mnuBMExport->text(), QStringLiteral("エクスポート..."));

    choose(f->mnuBMImport, "ImportDialog", source);
    QTRY_VERIFY(visibleWindow<QMessageBox>("ImportSummary"));
    auto* summary = visibleWindow<QMessageBox>("ImportSummary");
    QVERIFY2(summary->text().contains(QStringLiteral("3 件のリンクと 2 個のフォルダ")), qPrintable(summary->text()));
    QVERIFY(summary->text().contains(QStringLiteral("アドレスのないリンク 1 件")));
    QVERIFY(fx->errors.isEmpty());

    // What was there is unchanged; the import is a folder of its own at the end.
    BookmarkTree expected = kExisting;
    expected.push_back(kImported);
    COMPARE_TREES(onDisk(), expected);
    const QList<QAction*> items = f->mnuBookMark->actions();
    QAction* folderItem = items[items.size() - 4];
    QCOMPARE(folderItem->text(), QString("&other-browser"));
    QVERIFY(folderItem->menu());
    QCOMPARE(topTexts(f->TreeView1), (QStringList{"トップ", "ニュース", "other-browser"}));
    QCOMPARE(f->FUrlList.size(), 9);

    summary->accept();
    f->mnuBookMark->popup(f->mapToGlobal(QPoint(180, 20)));
    QTRY_VERIFY(f->mnuBookMark->isVisible());
    f->mnuBookMark->setActiveAction(folderItem);
    folderItem->menu()->popup(f->mnuBookMark->mapToGlobal(f->mnuBookMark->actionGeometry(folderItem).topRight()));
    screenshot("bookmark-menu-after-import.png", "900x650+0+0");
    folderItem->menu()->hide();
    f->mnuBookMark->hide();

    // The editor shows it too, and its next save keeps it.
    QCOMPARE(topTexts(frm_BMEdit->TreeView1), (QStringList{"トップ", "ニュース", "other-browser"}));
    frm_BMEdit->btnOK->click();
    QVERIFY(fx->errors.isEmpty());
    COMPARE_TREES(onDisk(), expected);
  }

  void nothingReadableChangesNothing() {
    const QByteArray before = bookmarks::serializeBookmarks(kExisting);
    start(before);
    const QString junk = fx->path("junk.html");
    QByteArray bytes(3000, '\0');
    for (int i = 0; i < bytes.size(); ++i) bytes[i] = char((i * 7919) % 251);
    QVERIFY(writeRaw(junk, "<html><body><p>no links</p>" + bytes));
    const int menuSize = static_cast<int>(f->mnuBookMark->actions().size());
    choose(f->mnuBMImport, "ImportDialog", junk);
    QTRY_COMPARE(fx->errors.size(), 1);
    QVERIFY(fx->errors[0].contains(QStringLiteral("読み込めるブックマークがありません")));
    QCOMPARE(readAll(fx->path("bookmark.xml")), before);
    QCOMPARE(f->mnuBookMark->actions().size(), menuSize);
    QVERIFY(!visibleWindow<QMessageBox>("ImportSummary"));
  }

  // A FIFO or a device chosen by mistake is refused at once, off the UI
  // thread, and changes nothing.
  void importRefusesWhatIsNoRegularFile() {
    const QByteArray before = bookmarks::serializeBookmarks(kExisting);
    start(before);
    const QString fifo = fx->path("pipe.html");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& path : {fifo, QStringLiteral("/dev/zero")}) {
      fx->errors.clear();
      choose(f->mnuBMImport, "ImportDialog", path);
      QTRY_COMPARE(fx->errors.size(), 1);
      QVERIFY2(fx->errors[0].contains(QStringLiteral("通常のファイルではない")), qPrintable(fx->errors[0]));
      QCOMPARE(readAll(fx->path("bookmark.xml")), before);
      QVERIFY(!QApplication::overrideCursor());
    }
    QVERIFY(!visibleWindow<QMessageBox>("ImportSummary"));
  }

  void importIntoADamagedFileKeepsItsBackup() {
    const QByteArray damaged = "<?xml version=\"1.0\"?><bookmark><file><name>a</name><url>http://a/</url></file><oops>";
    start(damaged);
    const QString source = fx->path("other-browser.html");
    QVERIFY(writeRaw(source, kOtherBrowser));
    (void)f->ImportBookmarks(source);
    QCOMPARE(readAll(fx->path("bookmark.xml.bak")), damaged);
    QCOMPARE(onDisk().back(), kImported);
  }

  void exportGivesBackTheWholeTree() {
    BookmarkTree tree = kExisting;
    tree.push_back(kImported);
    start(bookmarks::serializeBookmarks(tree));
    const QString target = fx->path("exported.html");
    choose(f->mnuBMExport, "ExportDialog", target);
    QTRY_VERIFY(QFile::exists(target));
    const QByteArray html = readAll(target);
    QVERIFY(html.startsWith("<!DOCTYPE NETSCAPE-Bookmark-file-1>"));
    COMPARE_TREES(bookmarks::importBookmarkHtml(html).entries, tree);

    // A folder that does not exist: the error, and no file.
    const QString nowhere = fx->path("no/such/folder/out.html");
    QVERIFY_THROWS_EXCEPTION(EInOutError, f->ExportBookmarks(nowhere));
    QVERIFY(!QFile::exists(nowhere));
  }
};

ZELVO_TEST_MAIN(TestBookmarkTransfer)
#include "test_bookmark_transfer.moc"
