#include "bookmarks/bookmark_add_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <limits>

namespace bookmarks {

bool appendAt(BookmarkTree& tree, const QList<int>& folderPath, BookmarkEntry entry) {
  BookmarkTree* entries = &tree;
  for (int row : folderPath) {
    if (row < 0 || size_t(row) >= entries->size() || !(*entries)[size_t(row)].isFolder()) return false;
    entries = &(*entries)[size_t(row)].entries;
  }
  entries->push_back(std::move(entry));
  return true;
}

}  // namespace bookmarks

namespace {

// Each folder node holds its row among its parent's entries.
constexpr int kRowRole = Qt::UserRole;

void addFolders(const BookmarkTree& entries, QTreeWidgetItem* parent, const QIcon& icon) {
  for (size_t row = 0; row < entries.size(); ++row) {
    const BookmarkEntry& e = entries[row];
    if (!e.isFolder()) continue;
    auto* node = new QTreeWidgetItem(parent, QStringList(e.name));
    node->setIcon(0, icon);
    node->setData(0, kRowRole, int(row));
    addFolders(e.entries, node, icon);
  }
}

}  // namespace

Tfrm_BMAdd::Tfrm_BMAdd(const BookmarkTree& tree, const QString& name, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frm_BMAdd"));
  setWindowTitle(QStringLiteral("このページをブックマーク"));
  setAccessibleName(windowTitle());

  lblName = new QLabel(QStringLiteral("名前(&N)："), this);
  lblName->setObjectName(QStringLiteral("lblName"));
  txtName = new QLineEdit(name, this);
  txtName->setObjectName(QStringLiteral("txtName"));
  txtName->setMaxLength(std::numeric_limits<int>::max());
  txtName->setAccessibleName(QStringLiteral("名前"));
  lblName->setBuddy(txtName);

  lblFolder = new QLabel(QStringLiteral("フォルダ(&F)："), this);
  lblFolder->setObjectName(QStringLiteral("lblFolder"));
  tvFolder = new QTreeWidget(this);
  tvFolder->setObjectName(QStringLiteral("tvFolder"));
  tvFolder->setHeaderHidden(true);
  tvFolder->setAccessibleName(QStringLiteral("フォルダ"));
  lblFolder->setBuddy(tvFolder);

  // The top level stands as a node of its own, chosen to begin with.
  const QIcon folder =
      QIcon::fromTheme(QStringLiteral("folder"), QApplication::style()->standardIcon(QStyle::SP_DirIcon));
  auto* top = new QTreeWidgetItem(tvFolder, QStringList(QStringLiteral("ブックマーク")));
  top->setIcon(0, folder);
  addFolders(tree, top, folder);
  top->setExpanded(true);
  tvFolder->setCurrentItem(top);

  auto* buttons = new QDialogButtonBox(this);
  btnOK = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnCancel = buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnOK->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* grid = new QGridLayout(this);
  grid->addWidget(lblName, 0, 0);
  grid->addWidget(txtName, 0, 1);
  grid->addWidget(lblFolder, 1, 0, Qt::AlignTop);
  grid->addWidget(tvFolder, 1, 1);
  grid->addWidget(buttons, 2, 0, 1, 2);
  resize(420, 300);
  txtName->selectAll();
  txtName->setFocus();
}

QList<int> Tfrm_BMAdd::FolderPath() const {
  QList<int> path;
  for (const QTreeWidgetItem* n = tvFolder->currentItem(); n && n->parent(); n = n->parent())
    path.prepend(n->data(0, kRowRole).toInt());
  return path;
}
