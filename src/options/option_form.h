#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;

// What the options dialog needs of the frame it works for: the folder of
// config.ini, and the engine item that follows the Gecko check box.
class TOptionOwner {
 public:
  virtual ~TOptionOwner() = default;
  virtual QObject* OwnerObject() = 0;
  virtual QString OwnerAppPath() const = 0;
  virtual void SetGeckoItemEnabled(bool on) = 0;
};
class TSHBrowseForFolderEx;

// The options dialog: the Gecko switch and folder, and whether bookmarks and
// the address bar open new windows. Modeless; closing it hides it. Each
// instance reads config.ini once, when it is made.
class Tfrm_Option : public QDialog {
  Q_OBJECT
 public:
  // `frame` is the main window whose program folder and Gecko menu item the
  // dialog uses. The dialog is a window of the application's own, not kept
  // above the frame; it is freed with the frame, at the program's end.
  explicit Tfrm_Option(TOptionOwner* frame);

  QTreeWidget* TreeView1 = nullptr;
  QFrame* Panel1 = nullptr;
  QStackedWidget* PageCTL = nullptr;
  QWidget* TabSheet1 = nullptr;
  QCheckBox* chkMoz = nullptr;
  QLineEdit* txtMozPath = nullptr;
  QPushButton* BitBtn1 = nullptr;
  QWidget* TabSheet2 = nullptr;
  QLabel* Label1 = nullptr;
  QCheckBox* chkWin1 = nullptr;
  QCheckBox* chkWin2 = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;
  TSHBrowseForFolderEx* selectFolder = nullptr;

  void FormCreate();
  void ReadIni();
  void TreeView1Change(QTreeWidgetItem* Node);
  void chkMozClick();
  void chkWin1Click();
  void chkWin2Click();
  void BitBtn1Click();
  // The folder chooser closed: a chosen folder goes into the box.
  void selectFolderFinished(bool chosen);
  void Button1Click();
  void Button2Click();

  // Integer tag of a check box: 1 checked, 0 not (kept by the click handlers).
  static int Tag(const QCheckBox* box);

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  TOptionOwner* frame_;
  bool placed_ = false;
  QString AppPath;
};
