#pragma once

#include <QDialog>
#include <QObject>
#include <QSet>
#include <QString>
#include <functional>
#include <memory>
#include <utility>

#include "options/browse_options.h"
#include "platform/shell_folders.h"

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class TSHBrowseForFolderEx;

// Raised each time the selection changes: Path is the new item's file-system
// path (empty when it has none); ShowText (arrives empty) becomes the status
// line; OKButtonState (arrives obsNoChange) enables or disables OK.
using TSHBrowseEvent = std::function<void(QObject* Sender, QWidget* Wnd, const QString& Path, QString& ShowText,
                                          TOKButtonState& OKButtonState)>;

// The folder-browsing dialog the chooser runs: a tree of the namespace under
// a root, the instruction text, a status line and OK / Cancel. It tells its
// callback when it is set up and when the selection changes; the callback
// answers through setStatusText, enableOK and setSelection.
// Folders are listed off the user-interface thread, each as it is opened:
// while a listing is out, its entry shows 読み込み中… and the cursor is busy,
// but the dialog answers at once (a hung mount keeps only its own entry
// waiting).
class TFolderBrowseDialog : public QDialog {
  Q_OBJECT
 public:
  static constexpr int BFFM_INITIALIZED = 1;
  static constexpr int BFFM_SELCHANGED = 2;
  using Callback = std::function<int(TFolderBrowseDialog* Wnd, int uMsg, shell::PItemIDList lParam, QObject* lpData)>;

  struct BrowseInfo {
    QWidget* hwndOwner = nullptr;
    shell::PItemIDList pidlRoot = nullptr;
    char* pszDisplayName = nullptr;  // 260 bytes, filled with the chosen item's name (UTF-8)
    QString lpszTitle;
    unsigned ulFlags = 0;
    Callback lpfn;
    QObject* lParam = nullptr;
  };

  // Runs the dialog modally; the chosen item's id (freed by the caller
  // through the service's allocator) or nullptr on Cancel.
  static shell::PItemIDList BrowseForFolder(shell::ShellFolders& shell, BrowseInfo& info);
  // The same, modal to the owner's window only and not waited for: done
  // gets what BrowseForFolder returns once the dialog is closed. info
  // lives until then.
  static void OpenForFolder(shell::ShellFolders& shell, BrowseInfo& info, std::function<void(shell::PItemIDList)> done);

  // Both ways of running the dialog: set-up, and the chosen item's id.
  void setUp();
  shell::PItemIDList chosenItem(shell::Malloc* malloc);

  // What the callback may send.
  void setStatusText(const QString& text);
  void enableOK(bool enable);
  void setSelection(shell::PItemIDList item);

  QTreeWidget* Tree = nullptr;
  QLabel* TitleLabel = nullptr;
  QLabel* StatusLabel = nullptr;
  QPushButton* OKButton = nullptr;
  QPushButton* CancelButton = nullptr;

  // Whether a listing is still out (the busy cursor shows then).
  bool isReading() const;

  ~TFolderBrowseDialog() override;

 private:
  TFolderBrowseDialog(shell::ShellFolders& shell, BrowseInfo& info);
  QTreeWidgetItem* makeItem(const QString& parentId, const QString& id);
  void requestRead(QTreeWidgetItem* item);
  void startRead(const QString& id);
  void readDone(const QString& id, bool withHidden, const QStringList& listed);
  void merge(QTreeWidgetItem* item, const QStringList& listed);
  bool holdsCurrent(const QTreeWidgetItem* item) const;
  void updateBusy();
  void selectionChanged();
  void send(int msg, shell::PItemIDList item);
  void sendPendingSelection();
  void toggleHidden();
  QString currentId() const;

  shell::ShellFolders& shell_;
  BrowseInfo& info_;
  bool showHidden_ = false;        // Ctrl+H
  int inCallback_ = 0;             // depth of the owner's callback running
  bool selectionPending_ = false;  // a change to report once it returns
  std::unique_ptr<shell::FolderReads> reads_;
  QSet<std::pair<QString, bool>> reading_;  // listings out: id, with hidden folders
};

// The folder chooser: a non-visual component owned by a form. Execute shows
// the dialog with the root, initial selection and placement its properties
// ask for, and leaves the chosen folder in SelectedPath.
class TSHBrowseForFolderEx : public QObject {
  Q_OBJECT
 public:
  explicit TSHBrowseForFolderEx(QObject* AOwner);
  ~TSHBrowseForFolderEx() override;

  virtual bool Execute();
  // Execute without waiting: the dialog is modal to the owner's window only,
  // and Finished tells the outcome once it is closed.
  void Open();
  virtual void DoSelectionChanged(QWidget* Wnd, const QString& Path, QString& ShowText, TOKButtonState& OKButtonState);

  TShowStyle ShowStyle() const { return FShowStyle; }
  void SetShowStyle(TShowStyle v) {
    if (v != FShowStyle) FShowStyle = v;
  }
  TSelectFolder SelectFolder() const { return FSelectFolder; }
  void SetSelectFolder(TSelectFolder v) {
    if (v != FSelectFolder) FSelectFolder = v;
  }
  QString SelectFolderName() const { return FSelectFolderName; }
  void SetSelectFolderName(const QString& v) {
    if (v != FSelectFolderName) FSelectFolderName = v;
  }
  TRootFolder RootFolder() const { return FRootFolder; }
  void SetRootFolder(TRootFolder v) {
    if (v != FRootFolder) FRootFolder = v;
  }
  QString RootFolderName() const { return FRootFolderName; }
  void SetRootFolderName(const QString& v) {
    if (v != FRootFolderName) FRootFolderName = v;
  }
  QString SelectedPath() const { return FSelectedPath; }
  QString DisplayName() const { return FDisplayName; }

  QString Caption;
  TSHBrowseOptions Options{sboReturnOnlyFSDirs};
  // Never more than one dialog of a chooser at a time.
  bool isOpen() const { return open_; }
  TSHBrowseEvent OnSelectionChanged;

  // The service used (the process's one unless a test sets another).
  shell::ShellFolders* Shell = nullptr;

 signals:
  // The dialog Open showed is closed: Chosen as Execute's result.
  void Finished(bool Chosen);

 private:
  struct Session;
  std::shared_ptr<Session> begin();
  bool finish(Session& session, shell::PItemIDList chosen);
  shell::PItemIDList GetSelectFolderID();
  shell::PItemIDList GetRootFolderID();
  shell::PItemIDList FolderID(int ordinal, bool manual, const QString& name);
  bool IsFolderID(shell::PItemIDList id);
  static int BrowseCallback(TFolderBrowseDialog* Wnd, int uMsg, shell::PItemIDList lParam, QObject* lpData);
  shell::ShellFolders& shell() { return Shell ? *Shell : shell::ShellFolders::instance(); }
  QWidget* ownerForm() const;

  TShowStyle FShowStyle = ssClient;
  shell::PItemIDList FSelectID = nullptr;
  bool FShowPath = false;
  TSelectFolder FSelectFolder = sfDrives;
  QString FSelectFolderName;
  QString FSelectedPath;
  QString FRootFolderName;
  TRootFolder FRootFolder = rfDesktop;
  QString FDisplayName;
  bool open_ = false;
};
