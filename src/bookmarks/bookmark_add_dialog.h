#pragma once

#include <QDialog>
#include <QList>

#include "bookmarks/bookmark_tree.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace bookmarks {

// Adds `entry` at the end of the folder reached by `folderPath`, the rows
// of folders from the top level down (empty: the top level). False when
// the path names no folder; the tree is then unchanged.
bool appendAt(BookmarkTree& tree, const QList<int>& folderPath, BookmarkEntry entry);

}  // namespace bookmarks

// Bookmarks the page shown: its name (the page's title, to change) and the
// folder it goes in, chosen over the bookmark tree; the end of the top
// level unless another folder is chosen.
class Tfrm_BMAdd : public QDialog {
  Q_OBJECT

 public:
  Tfrm_BMAdd(const BookmarkTree& tree, const QString& name, QWidget* parent = nullptr);

  QLabel* lblName = nullptr;
  QLineEdit* txtName = nullptr;
  QLabel* lblFolder = nullptr;
  QTreeWidget* tvFolder = nullptr;
  QPushButton* btnOK = nullptr;
  QPushButton* btnCancel = nullptr;

  // The folder chosen, as appendAt takes it.
  QList<int> FolderPath() const;
};
