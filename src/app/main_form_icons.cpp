// Site icons in the frame's bookmark menu and side bar, and bookmarking
// the active page with one key.
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QTreeWidget>

#include "app/forms.h"
#include "app/main_form.h"
#include "bookmarks/bookmark_add_dialog.h"
#include "bookmarks/bookmark_bar.h"
#include "bookmarks/bookmark_editor.h"
#include "bookmarks/bookmark_file.h"
#include "browser/browser_child.h"
#include "engine/engine_control.h"
#include "icons/site_icons.h"
#include "platform/guarded.h"

void TMainForm::CreateIconItems() {
  mnuBMAdd = new QAction(QStringLiteral("このページをブックマーク(&D)"), this);
  mnuBMAdd->setObjectName(QStringLiteral("mnuBMAdd"));
  mnuBMAdd->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
  mnuBMAdd->setEnabled(false);  // until a window is active
  mnuBookMark->insertAction(N4, mnuBMAdd);
  connect(mnuBMAdd, &QAction::triggered, this, guarded::handler(this, &TMainForm::mnuBMAddClick));
  connect(&icons::SiteIcons::instance(), &icons::SiteIcons::changed, this,
          [this] { guarded::run([this] { ShowBookmarkIcons(); }); });
}

QIcon TMainForm::BookmarkLinkIcon(const QString& Address) const {
  const QIcon site = icons::SiteIcons::instance().iconFor(Address);
  return site.isNull() ? ImageList1[12] : site;
}

void TMainForm::ShowBookmarkIcons() {
  // The menu's links are the items with an address, between N4 and N6.
  auto walk = [this](QMenu* menu, qsizetype from, auto& self) -> void {
    const QList<QAction*> items = menu->actions();
    for (qsizetype i = from; i < items.size() && items[i] != N6; ++i) {
      if (QMenu* sub = items[i]->menu())
        self(sub, 0, self);
      else if (!items[i]->statusTip().isEmpty())
        items[i]->setIcon(BookmarkLinkIcon(items[i]->statusTip()));
    }
  };
  walk(mnuBookMark, mnuBookMark->actions().indexOf(N4) + 1, walk);
  bookmarks::showSiteIcons(
      TreeView1, FUrlList, [](const QTreeWidgetItem*, const QString& url) { return url != bookmarks::kFolderMarker; },
      ImageList1[12]);
}

void TMainForm::mnuBMAddClick() {
  // One dialog at a time: a second Ctrl+D brings the open one forward.
  if (BMAddDialog) {
    BMAddDialog->raise();
    BMAddDialog->activateWindow();
    return;
  }
  TBrowserChild* child = ActiveMDIChild();
  if (!child) return;
  const QString address = child->Control()->LocationURL();
  bookmarks::FileVersion read;
  const BookmarkTree tree =
      bookmarks::readBookmarkFile(bookmarks::kFileName, bookmarks::TopLevelAddress::NodeAfterName, &read);
  auto* dialog = new Tfrm_BMAdd(tree, child->Caption(), this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  BMAddDialog = dialog;
  connect(dialog, &QDialog::accepted, this, [this, dialog, address, read] {
    guarded::run([&] { AddBookmark(dialog->txtName->text(), address, dialog->FolderPath(), read); });
  });
  dialog->open();
}

void TMainForm::AddBookmark(const QString& Name, const QString& Address, const QList<int>& FolderPath,
                            const bookmarks::FileVersion& Read) {
  // The file as the dialog showed it; a change made since stops the save,
  // as it stops the editor's.
  BookmarkTree tree = bookmarks::readBookmarkFile(bookmarks::kFileName, bookmarks::TopLevelAddress::NodeAfterName);
  const BookmarkEntry link = BookmarkEntry::link(Name, Address);
  QList<int> path = FolderPath;
  if (!bookmarks::appendAt(tree, path, link)) {
    path.clear();
    bookmarks::appendAt(tree, path, link);
  }
  const QByteArray after = bookmarks::saveBookmarkFile(bookmarks::kFileName, tree, &Read);
  if (frm_BMEdit) frm_BMEdit->InsertEntry(path, link, Read, after);
  guarded::run([this] { BuildBookmarkMenu(); });
  guarded::run([this] { BuildBookmarkBar(); });
}
