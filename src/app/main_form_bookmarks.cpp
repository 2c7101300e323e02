// The frame's bookmark menu and side-bar tree.
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QSignalBlocker>
#include <QTreeWidget>

#include "app/forms.h"
#include "app/main_form.h"
#include "bookmarks/bookmark_bar.h"
#include "bookmarks/bookmark_editor.h"
#include "bookmarks/bookmark_file.h"
#include "browser/browser_child.h"
#include "engine/engine_control.h"
#include "history/history_recorder.h"
#include "platform/errors.h"
#include "platform/guarded.h"
#include "platform/ini_file.h"

// A folder with entries is a submenu; a link or an empty folder is a plain
// item (a submenu with nothing in it would pop up an empty menu).
QAction* TMainForm::NewBookmarkItem(QMenu* Parent, const QString& Caption, int Index, bool Folder) {
  const QList<QAction*> items = Parent->actions();
  QAction* before = Index < items.size() ? items[Index] : nullptr;
  QAction* item;
  if (Folder) {
    auto* sub = new QMenu(Caption, Parent);
    item = sub->menuAction();
    Parent->insertMenu(before, sub);
  } else {
    item = new QAction(Caption, Parent);
    Parent->insertAction(before, item);
  }
  item->setVisible(true);
  item->setEnabled(true);
  connect(item, &QAction::triggered, this, [this, item] { guarded::run([&] { iventMenuClick(item); }); });
  return item;
}

void TMainForm::LoadMenuFolder(const BookmarkEntry& Entry, QMenu* Item) {
  if (!Entry.isFolder()) return;
  int j = 0;
  for (const BookmarkEntry& child : Entry.entries) {
    const bool submenu = child.isFolder() && !child.entries.empty();
    QAction* item = NewBookmarkItem(Item, bookmarks::menuCaption(child.name), j++, submenu);
    item->setIcon(ImageList1[11]);
    if (!child.isFolder()) {
      // The status tip is the item's hint: shown in the status bar, and the
      // one place the menu keeps the address.
      item->setStatusTip(child.address);
      item->setIcon(BookmarkLinkIcon(child.address));
    }
    if (submenu) LoadMenuFolder(child, item->menu());
  }
}

void TMainForm::BuildBookmarkMenu() {
  // Only the fixed items up to N4 stay, and those at the end from N6 on.
  const QList<QAction*> items = mnuBookMark->actions();
  const qsizetype first = items.indexOf(N4) + 1;
  for (qsizetype i = first; i < items.size() && items[i] != N6; ++i) {
    mnuBookMark->removeAction(items[i]);
    if (QMenu* sub = items[i]->menu())
      delete sub;
    else
      delete items[i];
  }

  const BookmarkTree tree = bookmarks::readBookmarkFile(bookmarks::kFileName, bookmarks::TopLevelAddress::LastChild);
  int i = 0;
  for (const BookmarkEntry& entry : tree) {
    const bool submenu = entry.isFolder() && !entry.entries.empty();
    QAction* item = NewBookmarkItem(mnuBookMark, bookmarks::menuCaption(entry.name), int(first) + i++, submenu);
    item->setIcon(ImageList1[11]);
    if (!entry.isFolder()) {
      item->setStatusTip(entry.address);
      item->setIcon(BookmarkLinkIcon(entry.address));
    }
    if (submenu) LoadMenuFolder(entry, item->menu());
  }
}

void TMainForm::BuildBookmarkBar() {
  {
    // The tree's own current-item changes while it empties are no choice
    // of the user's and open nothing.
    const QSignalBlocker quiet(TreeView1);
    TreeView1->clear();
  }
  FUrlList = QStringList();

  const BookmarkTree tree =
      bookmarks::readBookmarkFile(bookmarks::kFileName, bookmarks::TopLevelAddress::NodeAfterName);
  const bookmarks::BarIcons icons{ImageList1[11], ImageList1[12]};
  QList<QTreeWidgetItem*> roots;
  roots.reserve(qsizetype(tree.size()));
  for (const BookmarkEntry& entry : tree) roots << bookmarks::newBarNode(entry, FUrlList, icons);
  const QSignalBlocker quiet(TreeView1);
  TreeView1->addTopLevelItems(roots);
  // Setting "no current node" explicitly keeps the view from making the
  // first node current by itself when it takes the focus: that would be no
  // choice of the user's, and choosing that node afterwards would be no
  // change.
  TreeView1->setCurrentIndex(QModelIndex());
}

bool TMainForm::BookmarkWantsNewWindow() const {
  const IniFile ini(ConfigPath());
  const bool newWindow = (ini.ReadInteger(QStringLiteral("Option_Window"), QStringLiteral("BookMark"), 0) & 0xFF) == 1;
  return newWindow || MDIChildCount() == 0 || !ActiveMDIChild();
}

void TMainForm::OpenBookmark() {
  history::expectReached(txtAddress->text(), QStringLiteral("bookmark"));
  if (BookmarkWantsNewWindow())
    OpenChild(QString(), txtAddress->text());
  else
    ActiveMDIChild()->Control()->Navigate(txtAddress->text());
}

void TMainForm::iventMenuClick(QAction* Sender) {
  const QString hint = Sender->statusTip();
  if (hint.isEmpty()) return;
  txtAddress->setText(hint);
  OpenBookmark();
}

void TMainForm::TreeView1Change(QTreeWidgetItem* Node) { OpenBarNode(Node, !treeByKey_); }

void TMainForm::OpenBarNode(QTreeWidgetItem* Node, bool deliberate) {
  if (!Node) return;
  const qsizetype index = bookmarks::absoluteIndex(TreeView1, Node);
  if (index >= FUrlList.size()) return;
  const QString url = FUrlList[index];
  if (url == bookmarks::kFolderMarker) return;
  // Arrowing through the tree would otherwise open a window per link passed.
  if (!deliberate && BookmarkWantsNewWindow()) return;
  txtAddress->setText(url);
  OpenBookmark();
}

void TMainForm::mnuBMEditClick() {
  if (!frm_BMEdit) throw ZelvoError(QStringLiteral("ブックマークの編集画面がありません"));
  frm_BMEdit->show();
  frm_BMEdit->raise();
  frm_BMEdit->activateWindow();
  frm_BMEdit->txtURL->setText(txtAddress->text());
  // With no browser window there is no page title to take.
  TBrowserChild* child = ActiveMDIChild();
  frm_BMEdit->txtName->setText(child ? child->PageCaption() : QString());
}
