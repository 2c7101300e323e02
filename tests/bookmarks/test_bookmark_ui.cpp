// The bookmark menu, the side bar and the editor on a real display, over one
// bookmark file, with the scripted engine control for opened pages.
#include <sys/resource.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QWindow>

#include "bookmark_test_util.h"
#include "bookmarks/bookmark_editor.h"
#include "bookmarks/bookmark_file.h"
#include "browser/browser_child.h"
#include "fake_engine_control.h"
#include "frame_fixture.h"
#include "test_main.h"

using namespace bmtest;

namespace {

const BookmarkTree kFile{
    E::link(QStringLiteral("トップ"), QStringLiteral("http://top/")),
    E::folder(QStringLiteral("ニュース"),
              {E::link(QStringLiteral("朝刊"), QStringLiteral("http://news/a")),
               E::folder(QStringLiteral("技術"), {E::link(QStringLiteral("R&D"), QStringLiteral("http://rd/")),
                                                  E::link(QStringLiteral("記事"), QStringLiteral("http://news/t"))}),
               E::link(QStringLiteral("夕刊"), QStringLiteral("http://news/b"))}),
    E::folder(QStringLiteral("空のフォルダ")),
    E::link(QStringLiteral("アドレスなし"), QString()),
    E::link(QStringLiteral("目印"), QStringLiteral("フォルダ")),
};

FakeEngineControl* fake(TBrowserChild* c) { return static_cast<FakeEngineControl*>(c->Control()); }

// Between N4 (after 編集 and このページをブックマーク) and the fixed items at the
// end (N6, import, export).
QList<QAction*> bookmarkItems(QMenu* m) { return m->actions().mid(3, m->actions().size() - 6); }

QStringList topTexts(QTreeWidget* t) {
  QStringList out;
  for (int i = 0; i < t->topLevelItemCount(); ++i) out << t->topLevelItem(i)->text(0);
  return out;
}

}  // namespace

class TestBookmarkUi : public QObject {
  Q_OBJECT

  FrameFixture* fx = nullptr;
  TMainForm* f = nullptr;

  void start(const BookmarkTree& tree, const QByteArray& config = "[General]\nLastEngine=IE\n") {
    fx = new FrameFixture;
    fx->writeConfig(config);
    QVERIFY(writeRaw(fx->path("bookmark.xml"), bookmarks::serializeBookmarks(tree)));
    f = fx->start();
    f->resize(900, 700);
  }
  QByteArray file() const { return readAll(fx->path("bookmark.xml")); }
  QTreeWidgetItem* barNode(const QString& text) const {
    const auto found = f->TreeView1->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
  }
  QTreeWidgetItem* editNode(const QString& text) const {
    const auto found = frm_BMEdit->TreeView1->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
  }
  void shot(const QString& name) {
    const QByteArray dir = qgetenv("ZELVO_SHOTS_DIR");
    if (dir.isEmpty()) return;
    QTest::qWait(300);
    QProcess::execute(QStringLiteral("import"),
                      {"-window", "root", "-crop", "900x600+0+0", "+repage", QString::fromLocal8Bit(dir) + "/" + name});
  }

 private slots:
  void init() {
    TBrowserChild::setControlFactoryForTests(
        [](bool ie, QWidget* parent) -> IWebBrowser2* { return new FakeEngineControl(ie, parent); });
  }
  void cleanup() {
    endFrame(fx);
    TBrowserChild::setControlFactoryForTests({});
  }

  void menuAndSideBarFromOneFile() {
    start(kFile);
    const QList<QAction*> all = f->mnuBookMark->actions();
    QCOMPARE(all[0], f->mnuBMEdit);
    QCOMPARE(all[1], f->mnuBMAdd);
    QCOMPARE(all[2], f->N4);
    QCOMPARE(all.mid(all.size() - 3), (QList<QAction*>{f->N6, f->mnuBMImport, f->mnuBMExport}));
    const QList<QAction*> items = bookmarkItems(f->mnuBookMark);
    QStringList captions;
    for (QAction* a : items) captions << a->text();
    QCOMPARE(captions, (QStringList{"&トップ", "&ニュース", "&空のフォルダ", "&アドレスなし", "&目印"}));
    QCOMPARE(items[0]->statusTip(), QString("http://top/"));
    QCOMPARE(items[0]->icon().cacheKey(), f->ImageList1[12].cacheKey());
    QCOMPARE(items[1]->icon().cacheKey(), f->ImageList1[11].cacheKey());
    QVERIFY(items[1]->statusTip().isEmpty());
    QVERIFY(items[2]->menu() == nullptr);  // an empty folder opens no empty submenu
    QCOMPARE(items[2]->icon().cacheKey(), f->ImageList1[11].cacheKey());
    QMenu* news = items[1]->menu();
    QVERIFY(news);
    QCOMPARE(news->actions().size(), 3);
    QMenu* tech = news->actions()[1]->menu();
    QVERIFY(tech);
    QCOMPARE(tech->actions()[0]->text(), QString("&R&&D"));  // shows as "R&D"
    QCOMPARE(tech->actions()[0]->statusTip(), QString("http://rd/"));
    QCOMPARE(news->actions()[2]->statusTip(), QString("http://news/b"));

    QCOMPARE(topTexts(f->TreeView1), (QStringList{"トップ", "ニュース", "空のフォルダ", "アドレスなし", "目印"}));
    QCOMPARE(barNode("記事")->parent(), barNode("技術"));
    QCOMPARE(barNode("トップ")->icon(0).cacheKey(), f->ImageList1[12].cacheKey());
    QCOMPARE(barNode("技術")->icon(0).cacheKey(), f->ImageList1[11].cacheKey());
    const QString folder = bookmarks::kFolderMarker;
    QCOMPARE(f->FUrlList, (QStringList{"http://top/", folder, "http://news/a", folder, "http://rd/", "http://news/t",
                                       "http://news/b", folder, "", "フォルダ"}));
    QVERIFY(!f->TreeView1->currentItem());
    QVERIFY(!barNode("ニュース")->isExpanded());

    // Built from the same file, the editor holds the same tree.
    QCOMPARE(frm_BMEdit->FUrlList, f->FUrlList);
    QCOMPARE(topTexts(frm_BMEdit->TreeView1), topTexts(f->TreeView1));
    QVERIFY(fx->errors.isEmpty());
  }

  void menuOpensInNewOrActiveWindow() {
    start(kFile, "[General]\nLastEngine=IE\n[Option_Window]\nBookMark=0\n");
    const QList<QAction*> items = bookmarkItems(f->mnuBookMark);
    // A folder, and a link without address, do nothing.
    items[1]->trigger();
    items[3]->trigger();
    QCOMPARE(f->MDIChildCount(), 0);
    QVERIFY(f->txtAddress->text().isEmpty());

    // No window open: a new one, whatever the setting, caption empty.
    items[0]->trigger();
    QCOMPARE(f->MDIChildCount(), 1);
    TBrowserChild* first = f->ActiveMDIChild();
    QCOMPARE(first->windowTitle(), QString());
    QCOMPARE(fake(first)->calls, QStringList{"Navigate:http://top/"});

    // "BookMark" 0 with a window open: the active window goes there; the
    // text "フォルダ" is an address like any other in the menu.
    bookmarkItems(f->mnuBookMark)[4]->trigger();
    QCOMPARE(f->MDIChildCount(), 1);
    QCOMPARE(fake(first)->calls.last(), QString("Navigate:フォルダ"));
    bookmarkItems(f->mnuBookMark)[1]->menu()->actions()[1]->menu()->actions()[0]->trigger();
    QCOMPARE(fake(first)->calls.last(), QString("Navigate:http://rd/"));

    // "BookMark" 1 (compared by its low 8 bits): always a new window.
    fx->writeConfig("[General]\nLastEngine=IE\n[Option_Window]\nBookMark=257\n");
    bookmarkItems(f->mnuBookMark)[0]->trigger();
    QCOMPARE(f->MDIChildCount(), 2);
    QCOMPARE(fake(f->ActiveMDIChild())->calls, QStringList{"Navigate:http://top/"});
    QCOMPARE(fake(first)->calls.size(), 3);
    QVERIFY(fx->errors.isEmpty());
  }

  void sideBarOpensOnSelectionChange() {
    start(kFile);
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
    QTreeWidget* t = f->TreeView1;

    // Taking the focus makes a node current without selecting it: no page.
    t->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    QCOMPARE(f->MDIChildCount(), 0);
    QVERIFY(!t->currentItem());
    t->clearFocus();
    t->setFocus(Qt::TabFocusReason);  // again: still nothing
    QApplication::processEvents();
    QCOMPARE(f->MDIChildCount(), 0);

    // A click on a link opens it (new window: none is open yet).
    t->scrollToItem(barNode("トップ"));
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualItemRect(barNode("トップ")).center());
    QCOMPARE(f->MDIChildCount(), 1);
    TBrowserChild* child = f->ActiveMDIChild();
    QCOMPARE(fake(child)->calls, QStringList{"Navigate:http://top/"});

    // Arrow keys open every link they pass; folders open nothing.
    t->setFocus();
    QTest::keyClick(t, Qt::Key_Down);  // ニュース
    QCOMPARE(fake(child)->calls.size(), 1);
    t->expandAll();
    QTest::keyClick(t, Qt::Key_Down);  // 朝刊
    QTest::keyClick(t, Qt::Key_Down);  // 技術
    QTest::keyClick(t, Qt::Key_Down);  // R&D
    QCOMPARE(fake(child)->calls,
             (QStringList{"Navigate:http://top/", "Navigate:http://news/a", "Navigate:http://rd/"}));
    QCOMPARE(f->MDIChildCount(), 1);

    // Selecting the selected node again does nothing.
    t->setCurrentItem(barNode("R&D"));
    QCOMPARE(fake(child)->calls.size(), 3);
    // The marker "フォルダ" as an address opens nothing here; an empty
    // address is sent as it is.
    t->setCurrentItem(barNode("目印"));
    QCOMPARE(fake(child)->calls.size(), 3);
    t->setCurrentItem(barNode("アドレスなし"));
    QCOMPARE(fake(child)->calls.last(), QString("Navigate:"));
    QVERIFY(f->txtAddress->text().isEmpty());

    // Rebuilding with a node selected opens nothing.
    const qsizetype before = fake(child)->calls.size();
    f->BuildBookmarkBar();
    f->BuildBookmarkMenu();
    QCOMPARE(fake(child)->calls.size(), before);
    QCOMPARE(f->MDIChildCount(), 1);
    QCOMPARE(bookmarkItems(f->mnuBookMark).size(), qsizetype(5));
    QCOMPARE(f->FUrlList.size(), qsizetype(10));
    QVERIFY(fx->errors.isEmpty());
  }

  void sideBarFollowsTheSelectionAndOpensNewWindowsOnlyWhenChosen() {
    start(kFile, "[General]\nLastEngine=IE\n[Option_Window]\nBookMark=1\n");
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
    QTreeWidget* t = f->TreeView1;
    t->expandAll();
    QWindow* win = f->windowHandle();
    // Clicks through the frame's window, as the user's mouse makes them.
    auto click = [&](const QString& text, Qt::KeyboardModifiers mods = {}) {
      QTreeWidgetItem* n = barNode(text);
      t->scrollToItem(n);
      QTest::mouseClick(win, Qt::LeftButton, mods, t->viewport()->mapTo(f, t->visualItemRect(n).center()));
    };
    auto lastUrl = [&] { return fake(f->ActiveMDIChild())->calls.value(0); };

    click("トップ");
    QCOMPARE(f->MDIChildCount(), 1);
    QCOMPARE(lastUrl(), QString("Navigate:http://top/"));
    // Ctrl+click only clears the highlight; clicking the node again is a
    // new choice and opens it again, though Qt's current node never moved.
    click("トップ", Qt::ControlModifier);
    QVERIFY(t->selectedItems().isEmpty());
    QCOMPARE(t->currentItem(), barNode("トップ"));
    QCOMPARE(f->MDIChildCount(), 1);
    click("トップ");
    QCOMPARE(f->MDIChildCount(), 2);
    // A click on the node that is highlighted changes nothing.
    click("トップ");
    QCOMPARE(f->MDIChildCount(), 2);

    // Arrowing through links opens no window for each link passed...
    t->setFocus();
    QTRY_VERIFY(t->hasFocus());
    for (int i = 0; i < 3; ++i) QTest::keyClick(win, Qt::Key_Down);  // ニュース, 朝刊, 技術
    QTest::keyClick(win, Qt::Key_Down);                              // R&D
    QCOMPARE(t->selectedItems(), QList<QTreeWidgetItem*>{barNode("R&D")});
    QCOMPARE(f->MDIChildCount(), 2);
    // ...Enter opens the one the user stopped at.
    QTest::keyClick(win, Qt::Key_Return);
    QCOMPARE(f->MDIChildCount(), 3);
    QCOMPARE(lastUrl(), QString("Navigate:http://rd/"));
    // Enter on a folder opens nothing.
    QTest::keyClick(win, Qt::Key_Up);
    QTest::keyClick(win, Qt::Key_Return);
    QCOMPARE(f->MDIChildCount(), 3);
    // A click after arrowing is a choice again.
    click("夕刊");
    QCOMPARE(f->MDIChildCount(), 4);
    QCOMPARE(lastUrl(), QString("Navigate:http://news/b"));
    QVERIFY(fx->errors.isEmpty());
  }

  void showingTheEditorFillsItsFields() {
    start(kFile);
    f->mnuBMEdit->trigger();
    QVERIFY(frm_BMEdit->isVisible());
    QVERIFY(frm_BMEdit->txtName->text().isEmpty());  // no window: no title
    f->OpenChild(QString(), "http://page/");
    f->ActiveMDIChild()->setWindowTitle("ページの題");
    f->txtAddress->setText("http://page/");
    frm_BMEdit->btnCancel->click();
    QVERIFY(!frm_BMEdit->isVisible());
    f->mnuBMEdit->trigger();
    QCOMPARE(frm_BMEdit->txtName->text(), QString("ページの題"));
    QCOMPARE(frm_BMEdit->txtURL->text(), QString("http://page/"));

    // Its layout as designed.
    QCOMPARE(frm_BMEdit->TreeView1->geometry(), QRect(48, 64, 297, 161));
    QCOMPARE(frm_BMEdit->TreeView1->indentation(), 19);
    QCOMPARE(frm_BMEdit->btnDel->text(), QString("削\u3000  除"));
    QCOMPARE(frm_BMEdit->btnOK->geometry(), QRect(355, 192, 89, 25));
    QVERIFY(fx->errors.isEmpty());
  }

  void editorEditsAndSaves() {
    start(kFile);
    f->show();
    f->TreeView1->setCurrentItem(barNode("夕刊"));  // no window: opens one
    QCOMPARE(f->MDIChildCount(), 1);
    f->mnuBMEdit->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(frm_BMEdit));
    // In-place editors take the focus only in the active window.
    frm_BMEdit->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frm_BMEdit));
    Tfrm_BMEdit* e = frm_BMEdit;
    QTreeWidget* t = e->TreeView1;
    // Names and addresses are kept whole, past a line edit's usual limit.
    const QString longUrl = "data:text/plain," + QString(100000, u'x');
    const QString longName = "  朝刊（改）" + QString(40000, u'長');

    // Add while a link is current: just above it, same folder.
    t->setCurrentItem(editNode("夕刊"));
    QCOMPARE(e->FCurNode, editNode("夕刊"));
    e->txtName->setText("新しいリンク");
    e->txtURL->setText(longUrl);
    e->btnAdd->click();
    QCOMPARE(editNode("新しいリンク")->parent(), editNode("ニュース"));
    QCOMPARE(editNode("ニュース")->indexOfChild(editNode("新しいリンク")), 2);
    QCOMPARE(e->FCurNode, editNode("夕刊"));

    // Add while an empty folder is current: its only entry, shown expanded,
    // no placeholder left.
    t->setCurrentItem(editNode("空のフォルダ"));
    e->txtName->setText("中身");
    e->txtURL->setText("http://inside/");
    e->btnAdd->click();
    QCOMPARE(editNode("空のフォルダ")->childCount(), 1);
    QVERIFY(editNode("空のフォルダ")->isExpanded());
    QVERIFY(!editNode("123"));

    // Make folder before the top link, its caption open for typing.
    t->setCurrentItem(editNode("トップ"));
    e->txtURL->setText("http://filler/");
    e->btnMD->click();
    QTreeWidgetItem* made = t->topLevelItem(0);
    QCOMPARE(made->text(0), QString("新しいフォルダ"));
    QTRY_VERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()) && t->isAncestorOf(QApplication::focusWidget()));
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    editor->selectAll();
    editor->insert(QStringLiteral("作ったフォルダ"));
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();  // the view commits on its next turn
    QCOMPARE(made->text(0), QString("作ったフォルダ"));

    // Rename a link in place: its address stays.
    t->editItem(editNode("朝刊"));
    QTRY_VERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()));
    editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    editor->setText(longName);
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();

    // Delete a folder with its subtree.
    t->setCurrentItem(editNode("技術"));
    e->btnDel->click();
    QVERIFY(!editNode("技術") && !editNode("R&D"));
    QVERIFY(e->FCurNode != nullptr);  // the tree reported the new current node
    QCOMPARE(e->FCurNode, t->currentItem());

    // Cancel keeps the changes; OK writes them.
    e->btnCancel->click();
    QCOMPARE(readAll(fx->path("bookmark.xml")), bookmarks::serializeBookmarks(kFile));
    f->mnuBMEdit->trigger();
    QVERIFY(editNode("作ったフォルダ"));
    e->btnOK->click();
    QVERIFY(!e->isVisible());

    const BookmarkTree expected{
        E::folder(QStringLiteral("作ったフォルダ")),
        E::link(QStringLiteral("トップ"), QStringLiteral("http://top/")),
        E::folder(QStringLiteral("ニュース"),
                  {E::link(longName, QStringLiteral("http://news/a")), E::link(QStringLiteral("新しいリンク"), longUrl),
                   E::link(QStringLiteral("夕刊"), QStringLiteral("http://news/b"))}),
        E::folder(QStringLiteral("空のフォルダ"), {E::link(QStringLiteral("中身"), QStringLiteral("http://inside/"))}),
        E::link(QStringLiteral("アドレスなし"), QString()),
        E::link(QStringLiteral("目印"), QStringLiteral("フォルダ")),
    };
    COMPARE_TREES(bookmarks::parseBookmarks(file(), bookmarks::TopLevelAddress::NodeAfterName).entries, expected);

    // The menu and the side bar were rebuilt from it, opening nothing.
    QCOMPARE(f->MDIChildCount(), 1);
    QStringList captions;
    for (QAction* a : bookmarkItems(f->mnuBookMark)) captions << a->text();
    QCOMPARE(captions,
             (QStringList{"&作ったフォルダ", "&トップ", "&ニュース", "&空のフォルダ", "&アドレスなし", "&目印"}));
    QCOMPARE(f->FUrlList, bookmarks::urlListPreOrder(expected));
    QCOMPARE(topTexts(f->TreeView1), topTexts(t));
    QVERIFY(fx->errors.isEmpty());
  }

  void failedSaveKeepsEverything() {
    start(kFile);
    f->mnuBMEdit->trigger();
    Tfrm_BMEdit* e = frm_BMEdit;
    e->TreeView1->setCurrentItem(editNode("トップ"));
    e->txtName->setText(QString(200, u'長'));
    e->btnAdd->click();
    const QByteArray before = file();

    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 64;
    setrlimit(RLIMIT_FSIZE, &small);
    e->btnOK->click();
    setrlimit(RLIMIT_FSIZE, &old);

    QCOMPARE(fx->errors, QStringList{"bookmark.xml に書き込めません."});
    QCOMPARE(file(), before);
    QVERIFY(e->isVisible());
    QVERIFY(editNode(QString(200, u'長')));
    QCOMPARE(bookmarkItems(f->mnuBookMark).size(), qsizetype(5));
    QCOMPARE(f->TreeView1->topLevelItemCount(), 5);

    // A name the file cannot hold is refused the same way.
    fx->errors.clear();
    e->txtName->setText(QStringLiteral("bell\a"));
    e->btnAdd->click();
    e->btnOK->click();
    QCOMPARE(fx->errors.size(), 1);
    QVERIFY(fx->errors[0].contains(QStringLiteral("保存できない文字")));
    QCOMPARE(file(), before);
    QVERIFY(e->isVisible());
  }

  void emptyOrBrokenFileStartsEmptyAndIsKept() {
    fx = new FrameFixture;
    fx->writeConfig("[General]\nLastEngine=IE\n");
    QVERIFY(writeRaw(fx->path("bookmark.xml"), "garbage <<< 壊れ"));
    f = fx->start();
    QCOMPARE(bookmarkItems(f->mnuBookMark).size(), qsizetype(0));
    QCOMPARE(f->TreeView1->topLevelItemCount(), 0);
    // Read by the menu, the side bar and the editor, reported once, naming
    // the copy that the save keeps.
    QCOMPARE(fx->errors.size(), 1);
    QVERIFY2(fx->errors[0].contains(QStringLiteral("bookmark.xml.orig")), qPrintable(fx->errors[0]));
    fx->errors.clear();
    // Add and Make folder on an empty tree go to the top level.
    f->txtAddress->setText("http://only/");
    f->mnuBMEdit->trigger();
    frm_BMEdit->txtName->setText("唯一");
    frm_BMEdit->btnAdd->click();
    QVERIFY(QTest::qWaitForWindowExposed(frm_BMEdit));
    // The in-place editor takes the focus only once the editor window is the
    // active one, which a loaded machine may take a moment to make it.
    frm_BMEdit->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frm_BMEdit));
    frm_BMEdit->btnMD->click();
    QTRY_VERIFY(QApplication::focusWidget() && frm_BMEdit->TreeView1->isAncestorOf(QApplication::focusWidget()));
    QWidget* editor = QApplication::focusWidget();
    QTest::keyClick(editor, Qt::Key_Escape);  // keeps the caption it had
    frm_BMEdit->btnOK->click();
    QVERIFY(fx->errors.isEmpty());
    COMPARE_TREES(bookmarks::parseBookmarks(file(), bookmarks::TopLevelAddress::LastChild).entries,
                  (BookmarkTree{E::folder(QStringLiteral("新しいフォルダ")), E::link("唯一", "http://only/")}));
    QCOMPARE(readAll(fx->path("bookmark.xml.bak")), QByteArray("garbage <<< 壊れ"));
    QCOMPARE(readAll(fx->path("bookmark.xml.orig")), QByteArray("garbage <<< 壊れ"));
  }

  // The commands act on the highlighted node, never on one the user cannot
  // see or no longer sees highlighted.
  void editorActsOnTheHighlightedNode() {
    start(kFile);
    f->mnuBMEdit->trigger();
    Tfrm_BMEdit* e = frm_BMEdit;
    QVERIFY(QTest::qWaitForWindowExposed(e));
    QTreeWidget* t = e->TreeView1;
    const QList<QString> before = e->FUrlList;

    // Collapsing the folder that holds the highlighted node highlights the
    // folder; Delete then removes the folder the user sees highlighted.
    t->expandAll();
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualItemRect(editNode("R&D")).center());
    QCOMPARE(e->FCurNode, editNode("R&D"));
    editNode("ニュース")->setExpanded(false);
    QVERIFY(editNode("ニュース")->isSelected());
    QCOMPARE(e->FCurNode, editNode("ニュース"));
    // The arrow of a folder collapses it too.
    e->btnCancel->click();
    f->mnuBMEdit->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(e));
    t->expandAll();
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualItemRect(editNode("記事")).center());
    QCOMPARE(e->FCurNode, editNode("記事"));
    const QRect tech = t->visualItemRect(editNode("技術"));
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, QPoint(tech.left() - t->indentation() / 2, tech.center().y()));
    QVERIFY(!editNode("技術")->isExpanded());
    QCOMPARE(e->FCurNode, editNode("技術"));
    QVERIFY(editNode("技術")->isSelected());

    // A click on empty space leaves nothing highlighted: Delete does nothing.
    t->collapseAll();
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualItemRect(editNode("トップ")).center());
    QCOMPARE(e->FCurNode, editNode("トップ"));
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, QPoint(20, t->viewport()->height() - 5));
    QVERIFY(t->selectedItems().isEmpty());
    QVERIFY(e->FCurNode == nullptr);
    e->btnDel->click();
    QCOMPARE(e->FUrlList, before);
    QCOMPARE(topTexts(t), (QStringList{"トップ", "ニュース", "空のフォルダ", "アドレスなし", "目印"}));
    QCOMPARE(editNode("ニュース")->childCount(), 3);

    // Delete of the highlighted node highlights the node the tree moves to,
    // and the next Delete removes that one, as the user sees it.
    t->setCurrentItem(editNode("空のフォルダ"));
    e->btnDel->click();
    QVERIFY(!editNode("空のフォルダ"));
    QVERIFY(e->FCurNode && e->FCurNode->isSelected());
    const QString next = e->FCurNode->text(0);
    e->btnDel->click();
    QVERIFY(!editNode(next));
    QCOMPARE(e->FUrlList.size(), before.size() - 2);

    // Add and Make folder with nothing highlighted go before the topmost
    // node without highlighting it: the next Delete removes nothing.
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, QPoint(20, t->viewport()->height() - 5));
    QVERIFY(e->FCurNode == nullptr);
    const QStringList top = topTexts(t);
    e->txtName->setText("先頭へ");
    e->btnAdd->click();
    e->btnMD->click();
    e->btnDel->click();
    QCOMPARE(topTexts(t), QStringList({"新しいフォルダ", "先頭へ"}) + top);
    QCOMPARE(e->FUrlList.size(), before.size());
    QVERIFY(fx->errors.isEmpty());
  }

  // OK never writes over a file changed since the editor read it.
  void okAfterTheFileChangedOnDisk() {
    start(kFile);
    f->mnuBMEdit->trigger();
    Tfrm_BMEdit* e = frm_BMEdit;
    e->TreeView1->setCurrentItem(editNode("トップ"));
    e->txtName->setText("私の追加");
    e->btnAdd->click();
    // Another copy of the program, or a hand edit, changes the file.
    const BookmarkTree theirs{E::link(QStringLiteral("他所の変更"), QStringLiteral("http://other/"))};
    const QByteArray changed = bookmarks::serializeBookmarks(theirs);
    QVERIFY(writeRaw(fx->path("bookmark.xml"), changed));
    e->btnOK->click();
    QCOMPARE(fx->errors.size(), 1);
    QVERIFY2(fx->errors[0].contains(QStringLiteral("bookmark.xml.bak")), qPrintable(fx->errors[0]));
    QCOMPARE(file(), changed);
    QCOMPARE(readAll(fx->path("bookmark.xml.bak")), changed);
    // The editor now shows the file as it is, for the edit to be redone.
    QVERIFY(e->isVisible());
    QCOMPARE(topTexts(e->TreeView1), QStringList{"他所の変更"});
    QCOMPARE(e->FUrlList, QStringList{"http://other/"});
    QVERIFY(e->FCurNode == nullptr);
    e->TreeView1->setCurrentItem(editNode("他所の変更"));
    e->btnAdd->click();
    e->btnOK->click();
    QCOMPARE(fx->errors.size(), 1);
    COMPARE_TREES(bookmarks::parseBookmarks(file(), bookmarks::TopLevelAddress::LastChild).entries,
                  (BookmarkTree{E::link(QStringLiteral("私の追加"), e->txtURL->text()), theirs[0]}));
    QCOMPARE(f->TreeView1->topLevelItemCount(), 2);
  }

  // Pictures for the documentation, when asked for.
  void screenshots() {
    if (qEnvironmentVariableIsEmpty("ZELVO_SHOTS_DIR")) QSKIP("ZELVO_SHOTS_DIR not set");
    start(kFile);
    f->setGeometry(0, 0, 900, 600);
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
    f->menuBar()->setActiveAction(f->mnuBookMark->menuAction());
    QTest::qWait(200);
    QMenu* m = f->mnuBookMark;
    m->setActiveAction(bookmarkItems(m)[1]);
    QTest::keyClick(m, Qt::Key_Right);
    QTest::qWait(200);
    QMenu* news = bookmarkItems(m)[1]->menu();
    news->setActiveAction(news->actions()[1]);
    QTest::keyClick(news, Qt::Key_Right);
    shot("bookmarks-menu.png");
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    f->menuBar()->setActiveAction(nullptr);

    f->TreeView1->expandAll();
    f->TreeView1->setCurrentItem(barNode("技術"));  // a folder: opens nothing
    shot("bookmarks-sidebar.png");
    QCOMPARE(f->MDIChildCount(), 0);

    f->mnuBMEdit->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(frm_BMEdit));
    frm_BMEdit->TreeView1->expandAll();
    frm_BMEdit->TreeView1->setCurrentItem(editNode("朝刊"));
    shot("bookmark-editor.png");
  }
};

ZELVO_TEST_MAIN(TestBookmarkUi)
#include "test_bookmark_ui.moc"
