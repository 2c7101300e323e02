#include "bookmarks/bookmark_editor.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <limits>

#include "bookmarks/bookmark_bar.h"
#include "bookmarks/bookmark_edit_rules.h"
#include "bookmarks/bookmark_file.h"
#include "icons/site_icons.h"
#include "platform/guarded.h"

namespace {

template <class W>
W* named(W* w, const char* name) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

// The editor's tree as the edit rules see it.
struct EditorTree {
  using Node = QTreeWidgetItem*;

  QTreeWidget* view;
  const QList<QIcon>& icons;

  int childCount(Node p) const { return p ? p->childCount() : view->topLevelItemCount(); }
  Node child(Node p, int row) const { return p ? p->child(row) : view->topLevelItem(row); }
  Node parent(Node n) const { return n->parent(); }
  int row(Node n) const { return n->parent() ? n->parent()->indexOfChild(n) : view->indexOfTopLevelItem(n); }
  bool isFolder(Node n) const { return n->data(0, Tfrm_BMEdit::kImageRole).toInt() == 0; }
  QString caption(Node n) const { return n->text(0); }

  Node insert(Node p, int row, const QString& caption, bool folder) {
    auto* item = new QTreeWidgetItem(QStringList(caption));
    item->setData(0, Tfrm_BMEdit::kImageRole, folder ? 0 : 1);
    item->setIcon(0, icons[folder ? 0 : 1]);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    if (p)
      p->insertChild(row, item);
    else
      view->insertTopLevelItem(row, item);
    return item;
  }
  void remove(Node n) { delete n; }
};

using EditRules = bookmarks::BookmarkEditRules<EditorTree>;

// Names and addresses are kept whole, however long (a data: address easily
// passes a line edit's default limit of 32767 characters).
void keepWhole(QLineEdit* edit) { edit->setMaxLength(std::numeric_limits<int>::max()); }

// The in-place rename box, without the length limit.
class WholeTextDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor)) keepWhole(line);
    return editor;
  }
};

}  // namespace

Tfrm_BMEdit::Tfrm_BMEdit(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frm_BMEdit"));
  setWindowTitle(QStringLiteral("ブックマークの編集"));
  QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
  font.setPixelSize(12);
  setFont(font);
  // Client area of the 460 x 288 window (4-pixel borders, 23-pixel caption).
  setFixedSize(452, 261);
  move(254, 120);

  const QStyle* st = QApplication::style();
  ImageList1 = {QIcon::fromTheme(QStringLiteral("folder"), st->standardIcon(QStyle::SP_DirIcon)),
                QIcon::fromTheme(QStringLiteral("text-html"), st->standardIcon(QStyle::SP_FileLinkIcon))};

  Label2 = named(new QLabel(QStringLiteral("名前："), this), "Label2");
  Label2->move(16, 8);
  txtName = named(new QLineEdit(QStringLiteral("txtName"), this), "txtName");
  txtName->setGeometry(48, 8, 153, 20);
  Label1 = named(new QLabel(QStringLiteral("URL："), this), "Label1");
  Label1->move(16, 32);
  txtURL = named(new QLineEdit(QStringLiteral("txtURL"), this), "txtURL");
  txtURL->setGeometry(48, 32, 297, 20);
  keepWhole(txtName);
  keepWhole(txtURL);
  for (QLabel* l : {Label2, Label1}) l->adjustSize();

  TreeView1 = named(new QTreeWidget(this), "TreeView1");
  TreeView1->setGeometry(48, 64, 297, 161);
  TreeView1->setHeaderHidden(true);
  TreeView1->setIndentation(19);
  TreeView1->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
  TreeView1->setItemDelegate(new WholeTextDelegate(TreeView1));

  auto button = [this](const char* name, const QString& caption, int x, int y, int w, int h) {
    auto* b = named(new QPushButton(caption, this), name);
    b->setGeometry(x, y, w, h);
    // Enter in the edit fields adds nothing and closes nothing.
    b->setAutoDefault(false);
    return b;
  };
  btnAdd = button("btnAdd", QStringLiteral("追   加"), 355, 16, 89, 17);
  btnDel = button("btnDel", QStringLiteral("削\u3000  除"), 355, 40, 89, 17);
  btnMD = button("btnMD", QStringLiteral("フォルダの作成"), 355, 64, 89, 17);
  btnOK = button("btnOK", QStringLiteral("O   K"), 355, 192, 89, 25);
  btnCancel = button("btnCancel", QStringLiteral("キャンセル"), 355, 224, 89, 25);

  using guarded::handler;
  // The node the commands act on is the highlighted one: Qt's current item
  // may be hidden in a collapsed folder or left over after a click on
  // empty space.
  connect(TreeView1, &QTreeWidget::itemSelectionChanged, this,
          [this] { guarded::run([&] { TreeView1Change(TreeView1->selectedItems().value(0)); }); });
  connect(TreeView1, &QTreeWidget::itemCollapsed, this,
          [this](QTreeWidgetItem* node) { guarded::run([&] { TreeView1Collapsed(node); }); });
  connect(btnAdd, &QPushButton::clicked, this, handler(this, &Tfrm_BMEdit::btnAddClick));
  connect(btnDel, &QPushButton::clicked, this, handler(this, &Tfrm_BMEdit::btnDelClick));
  connect(btnMD, &QPushButton::clicked, this, handler(this, &Tfrm_BMEdit::btnMDClick));
  connect(btnOK, &QPushButton::clicked, this, handler(this, &Tfrm_BMEdit::btnOKClick));
  connect(btnCancel, &QPushButton::clicked, this, handler(this, &Tfrm_BMEdit::btnCancelClick));

  // Buttons read their captions; the fields and the tree are named after
  // their labels and purpose.
  Label2->setBuddy(txtName);
  Label1->setBuddy(txtURL);
  txtName->setAccessibleName(QStringLiteral("名前"));
  txtURL->setAccessibleName(QStringLiteral("URL"));
  TreeView1->setAccessibleName(QStringLiteral("ブックマーク"));
  TreeView1->setHeaderLabel(TreeView1->accessibleName());
  TreeView1->setAccessibleDescription(QStringLiteral("F2 キーで名前を変更します"));

  connect(&icons::SiteIcons::instance(), &icons::SiteIcons::changed, this,
          [this] { guarded::run([this] { ShowSiteIcons(); }); });
  guarded::run([this] { FormCreate(); });
}

void Tfrm_BMEdit::ShowSiteIcons() {
  bookmarks::showSiteIcons(
      TreeView1, FUrlList,
      [](const QTreeWidgetItem* node, const QString&) { return node->data(0, kImageRole).toInt() == 1; },
      ImageList1[1]);
}

void Tfrm_BMEdit::FormCreate() { LoadTree(); }

void Tfrm_BMEdit::LoadTree() {
  {
    const QSignalBlocker quiet(TreeView1);
    TreeView1->clear();
  }
  FUrlList.clear();
  FCurNode = nullptr;
  EditorTree tree{TreeView1, ImageList1};
  EditRules(tree, FUrlList)
      .load(bookmarks::readBookmarkFile(bookmarks::kFileName, bookmarks::TopLevelAddress::NodeAfterName,
                                        &FLoadedVersion));
  ShowSiteIcons();
  // Nothing is current; set explicitly, so that the view does not make the
  // first node current by itself when it takes the focus.
  TreeView1->setCurrentIndex(QModelIndex());
}

void Tfrm_BMEdit::TreeView1Change(QTreeWidgetItem* Node) { FCurNode = Node; }

void Tfrm_BMEdit::TreeView1Collapsed(QTreeWidgetItem* Node) {
  // A highlighted node hidden by the collapse hands the highlight to the
  // folder, so no command acts on a node the user cannot see.
  for (QTreeWidgetItem* n = FCurNode ? FCurNode->parent() : nullptr; n; n = n->parent()) {
    if (n == Node) {
      TreeView1->setCurrentItem(Node);
      Node->setSelected(true);
      return;
    }
  }
}

QTreeWidgetItem* Tfrm_BMEdit::InsertNode(const QString& caption, bool folder) {
  // With nothing highlighted the new node goes before the topmost visible
  // one, which stays unhighlighted and so is not what a Delete removes next.
  QTreeWidgetItem* place = FCurNode;
  if (!place) place = TreeView1->itemAt(0, 0);
  if (!place) place = TreeView1->topLevelItem(0);
  EditorTree tree{TreeView1, ImageList1};
  QTreeWidgetItem* node = EditRules(tree, FUrlList).insert(place, caption, folder, txtURL->text());
  if (QTreeWidgetItem* holder = node->parent()) holder->setExpanded(true);
  if (!folder) ShowSiteIcons();
  return node;
}

void Tfrm_BMEdit::btnAddClick() { InsertNode(txtName->text(), false); }

void Tfrm_BMEdit::btnMDClick() {
  QTreeWidgetItem* node = InsertNode(QStringLiteral("新しいフォルダ"), true);
  TreeView1->scrollToItem(node);
  TreeView1->editItem(node);
}

void Tfrm_BMEdit::btnDelClick() {
  if (!FCurNode) return;
  QTreeWidgetItem* node = FCurNode;
  // If the tree reports a new current node while it removes this one, that
  // report sets FCurNode; otherwise nothing is current.
  FCurNode = nullptr;
  EditorTree tree{TreeView1, ImageList1};
  EditRules(tree, FUrlList).remove(node);
  // The node the tree moved to becomes the highlighted one.
  if (QTreeWidgetItem* next = TreeView1->currentItem()) next->setSelected(true);
}

void Tfrm_BMEdit::btnOKClick() {
  EditorTree tree{TreeView1, ImageList1};
  try {
    FLoadedVersion =
        bookmarks::saveBookmarkFile(bookmarks::kFileName, EditRules(tree, FUrlList).collect(), &FLoadedVersion);
  } catch (const bookmarks::EBookmarksChanged&) {
    // The file on disk wins: the user redoes the edit on what it holds.
    LoadTree();
    throw;
  }
  if (OnSaved) OnSaved();
  hide();
}

void Tfrm_BMEdit::btnCancelClick() { close(); }

void Tfrm_BMEdit::AppendEntries(const BookmarkEntry& entry, const bookmarks::FileVersion& before,
                                const QByteArray& after) {
  EditorTree tree{TreeView1, ImageList1};
  EditRules(tree, FUrlList).load({entry});
  ShowSiteIcons();
  if (FLoadedVersion == before) FLoadedVersion = after;
}

void Tfrm_BMEdit::InsertEntry(const QList<int>& folderPath, const BookmarkEntry& entry,
                              const bookmarks::FileVersion& before, const QByteArray& after) {
  EditorTree tree{TreeView1, ImageList1};
  EditRules rules(tree, FUrlList);
  QTreeWidgetItem* folder = nullptr;
  for (int row : folderPath) {
    QTreeWidgetItem* next = row < tree.childCount(folder) ? tree.child(folder, row) : nullptr;
    if (!next || !tree.isFolder(next)) {
      folder = nullptr;
      break;
    }
    folder = next;
  }
  const qsizetype at = folder ? rules.absoluteIndex(folder) + rules.subtreeSize(folder) : FUrlList.size();
  FUrlList.insert(qMin(at, FUrlList.size()), entry.address);
  tree.insert(folder, tree.childCount(folder), entry.name, false);
  ShowSiteIcons();
  if (FLoadedVersion == before) FLoadedVersion = after;
}
