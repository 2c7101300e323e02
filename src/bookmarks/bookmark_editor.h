#pragma once

#include <QDialog>
#include <QIcon>
#include <QList>
#include <QStringList>
#include <functional>

#include "bookmarks/bookmark_file.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The bookmark editor: reads the bookmark file into its tree once, when it
// is created; adds links, makes folders, deletes and renames entries; OK
// writes the whole file and has the frame rebuild its menu and side bar.
// Modeless, hidden rather than destroyed when closed.
class Tfrm_BMEdit : public QDialog {
  Q_OBJECT

 public:
  explicit Tfrm_BMEdit(QWidget* parent = nullptr);

  // ---- components --------------------------------------------------------
  QLabel* Label2 = nullptr;
  QLineEdit* txtName = nullptr;
  QLabel* Label1 = nullptr;
  QLineEdit* txtURL = nullptr;
  QTreeWidget* TreeView1 = nullptr;
  QPushButton* btnAdd = nullptr;
  QPushButton* btnDel = nullptr;
  QPushButton* btnMD = nullptr;
  QPushButton* btnOK = nullptr;
  QPushButton* btnCancel = nullptr;
  QList<QIcon> ImageList1;  // 0 folder, 1 web page

  // ---- state -------------------------------------------------------------
  QStringList FUrlList;                 // one entry per node in pre-order
  QTreeWidgetItem* FCurNode = nullptr;  // the highlighted node, or none
  // The file's bytes when the tree was read (none: there was no file); OK
  // never writes over a file that has changed since.
  bookmarks::FileVersion FLoadedVersion;

  // Item data role holding a node's image index (0 folder, 1 link).
  static constexpr int kImageRole = Qt::UserRole;

  // ---- handlers ----------------------------------------------------------
  void FormCreate();
  void TreeView1Change(QTreeWidgetItem* Node);
  void btnAddClick();
  void btnMDClick();
  void btnDelClick();
  void btnOKClick();
  void btnCancelClick();

  // Run after OK has saved the file, so the frame rebuilds what shows it.
  std::function<void()> OnSaved;

  // Entries saved to the file by someone else (an import), added at the end
  // of the top level so that the next OK keeps them. That save turned the
  // file from `before` into `after`: when `before` is what the editor read,
  // the file still holds nothing the editor lacks; otherwise the change made
  // on disk before the import still stops the next OK.
  void AppendEntries(const struct BookmarkEntry& entry, const bookmarks::FileVersion& before, const QByteArray& after);
  // A link saved by someone else at the end of the folder at `folderPath`
  // (see bookmarks::appendAt), added to the same folder here when the tree
  // still has it, else at the end of the top level; the file versions as
  // for AppendEntries.
  void InsertEntry(const QList<int>& folderPath, const struct BookmarkEntry& entry,
                   const bookmarks::FileVersion& before, const QByteArray& after);

 private:
  QTreeWidgetItem* InsertNode(const QString& caption, bool folder);
  void LoadTree();
  void TreeView1Collapsed(QTreeWidgetItem* Node);
  // Links show their site's icon once the site was visited.
  void ShowSiteIcons();
};
