// Site icons through the frame with both real engines and a local server
// that serves a page with an icon: the window's title bar, the window menu
// and the bookmarks of that site show it; and Ctrl+D bookmarks the page in
// the folder chosen.
#include <QAction>
#include <QBuffer>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "bookmarks/bookmark_add_dialog.h"
#include "bookmarks/bookmark_editor.h"
#include "bookmarks/bookmark_file.h"
#include "file_util.h"
#include "frame_fixture.h"
#include "page_test_util.h"
#include "test_main.h"

namespace {

const QColor kIconColour(220, 20, 40);

QByteArray iconPng() {
  QImage image(16, 16, QImage::Format_ARGB32);
  image.fill(kIconColour);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return png;
}

// Whether the icon is the served one (an engine may scale or convert it).
bool isSiteIcon(const QIcon& icon) {
  if (icon.isNull()) return false;
  const QColor c = icon.pixmap(16, 16).toImage().pixelColor(8, 8);
  return qAbs(c.red() - kIconColour.red()) < 24 && qAbs(c.green() - kIconColour.green()) < 24 &&
         qAbs(c.blue() - kIconColour.blue()) < 24;
}

QAction* itemWithTip(QMenu* menu, const QString& tip) {
  for (QAction* a : menu->actions()) {
    if (a->statusTip() == tip) return a;
    if (a->menu())
      if (QAction* found = itemWithTip(a->menu(), tip)) return found;
  }
  return nullptr;
}

QTreeWidgetItem* node(QTreeWidget* tree, const QString& text) {
  const auto found = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
  return found.isEmpty() ? nullptr : found.first();
}

const QString kTitle = QStringLiteral("アイコンのあるページ");

}  // namespace

class TestIconWindows : public QObject {
  Q_OBJECT

  // One per engine: the port is part of the site, so each row starts with
  // a site whose icon nobody kept yet.
  PageServer servers[2];
  PageServer& server = servers[0];
  QTemporaryDir cache;
  FrameFixture* fx = nullptr;
  TMainForm* f = nullptr;

  void start(const QByteArray& config, const PageServer& server) {
    fx = new FrameFixture;
    const BookmarkTree tree{
        BookmarkEntry::link(QStringLiteral("同じサイト"), server.url("/other.html")),
        BookmarkEntry::folder(QStringLiteral("読むもの"),
                              {BookmarkEntry::link(QStringLiteral("別"), "http://example.invalid/")}),
        BookmarkEntry::link(QStringLiteral("よそのサイト"), "http://example.invalid/x")};
    QVERIFY(writeRaw(fx->path("bookmark.xml"), bookmarks::serializeBookmarks(tree)));
    f = fx->startShown(config, QSize(1000, 720));
    QVERIFY(f);
  }

 private slots:
  void initTestCase() {
    // The icons go to a cache folder of the test's own.
    qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    TMozillaBrowser::setHostProgramForTests(QStringLiteral(ZELVO_TEST_HOST));
    for (PageServer& s : servers) {
      QVERIFY(s.isListening());
      s.answers["/page.html"].body = "<!DOCTYPE html><meta charset=utf-8><title>" + kTitle.toUtf8() +
                                     "</title><link rel=icon href=/site.png><p>日本語のページ</p>";
      s.answers["/site.png"] = {"Content-Type: image/png\r\n", iconPng()};
    }
  }

  void cleanup() { endFrame(fx); }

  void windowsAndBookmarksShowTheSiteIcon_data() { addEngineRows(); }
  void windowsAndBookmarksShowTheSiteIcon() {
    QFETCH(QByteArray, config);
    const PageServer& server = servers[config.contains("Gecko") ? 1 : 0];
    start(config, server);
    QAction* sameSite = itemWithTip(f->mnuBookMark, server.url("/other.html"));
    QVERIFY(sameSite);
    QVERIFY(!isSiteIcon(sameSite->icon()));

    TBrowserChild* c = openPage(f, server.url("/page.html"), kTitle);
    QVERIFY(c);
    QTRY_VERIFY_WITH_TIMEOUT(isSiteIcon(c->windowIcon()), 20000);

    emit f->Window1->aboutToShow();
    QAction* listed = nullptr;
    for (QAction* a : f->Window1->actions())
      if (a->text().endsWith(kTitle)) listed = a;
    QVERIFY(listed);
    QVERIFY(isSiteIcon(listed->icon()));

    // The bookmarked page of the same site, wherever it is shown; a site
    // never visited keeps the plain link icon.
    QVERIFY(isSiteIcon(itemWithTip(f->mnuBookMark, server.url("/other.html"))->icon()));
    QVERIFY(isSiteIcon(node(f->TreeView1, QStringLiteral("同じサイト"))->icon(0)));
    QVERIFY(isSiteIcon(node(frm_BMEdit->TreeView1, QStringLiteral("同じサイト"))->icon(0)));
    QVERIFY(!isSiteIcon(itemWithTip(f->mnuBookMark, "http://example.invalid/x")->icon()));
    QVERIFY(!isSiteIcon(node(f->TreeView1, QStringLiteral("よそのサイト"))->icon(0)));
    QVERIFY(fx->errors.isEmpty());
  }

  void ctrlDBookmarksThePageInTheChosenFolder() {
    start("[General]\nLastEngine=IE\n", server);
    QVERIFY(!f->mnuBMAdd->isEnabled());  // no window, no page
    TBrowserChild* c = openPage(f, server.url("/page.html"), kTitle);
    QVERIFY(c);
    QTRY_VERIFY(f->mnuBMAdd->isEnabled());

    QTest::keyClick(f, Qt::Key_D, Qt::ControlModifier);
    QTRY_VERIFY(f->BMAddDialog && f->BMAddDialog->isVisible());
    Tfrm_BMAdd* dialog = f->BMAddDialog;
    QCOMPARE(dialog->txtName->text(), kTitle);
    QCOMPARE(dialog->FolderPath(), QList<int>());  // the top level unless chosen
    dialog->tvFolder->setCurrentItem(node(dialog->tvFolder, QStringLiteral("読むもの")));
    dialog->txtName->setText(QStringLiteral("あとで読む"));
    dialog->btnOK->click();

    const BookmarkTree saved =
        bookmarks::readBookmarkFile(fx->path("bookmark.xml"), bookmarks::TopLevelAddress::NodeAfterName);
    QCOMPARE(saved.size(), size_t(3));
    QCOMPARE(saved[1].entries.size(), size_t(2));
    QCOMPARE(saved[1].entries[1], BookmarkEntry::link(QStringLiteral("あとで読む"), server.url("/page.html")));
    // Every view of the bookmarks has it, and the editor's next save keeps it.
    QVERIFY(itemWithTip(f->mnuBookMark, server.url("/page.html")));
    QCOMPARE(node(f->TreeView1, QStringLiteral("あとで読む"))->parent(),
             node(f->TreeView1, QStringLiteral("読むもの")));
    QTreeWidgetItem* edited = node(frm_BMEdit->TreeView1, QStringLiteral("あとで読む"));
    QVERIFY(edited);
    QCOMPARE(edited->parent()->text(0), QStringLiteral("読むもの"));
    frm_BMEdit->btnOK->click();
    QCOMPARE(bookmarks::readBookmarkFile(fx->path("bookmark.xml"), bookmarks::TopLevelAddress::NodeAfterName), saved);
    QVERIFY(fx->errors.isEmpty());
  }
};

ZELVO_TEST_MAIN(TestIconWindows)
#include "test_icon_windows.moc"
