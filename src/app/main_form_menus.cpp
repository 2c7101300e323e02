// The frame's menus and the names of its components.

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMoveEvent>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <limits>
#include <utility>

#include "app/cool_bar.h"
#include "app/frame_widgets.h"
#include "app/main_form.h"

using namespace frame_widgets;

void TMainForm::CreateMenus() {
  // Action list.
  ActionList1 = new QObject(this);
  ActionList1->setObjectName(QStringLiteral("ActionList1"));
  FileNew1 = newAction(ActionList1, "FileNew1", QStringLiteral("新規作成(&N)"), QKeySequence(Qt::CTRL | Qt::Key_N));
  FileOpen1 = newAction(ActionList1, "FileOpen1", QStringLiteral("開く(&O)..."), QKeySequence(Qt::CTRL | Qt::Key_O));
  FileClose1 = newAction(ActionList1, "FileClose1", QStringLiteral("閉じる(&C)"));
  FileExit1 = newAction(ActionList1, "FileExit1", QStringLiteral("終了(&X)"));
  EditCut1 = newAction(ActionList1, "EditCut1", QStringLiteral("切り取り(&T)"), QKeySequence(Qt::CTRL | Qt::Key_X));
  EditCopy1 = newAction(ActionList1, "EditCopy1", QStringLiteral("コピー(&C)..."), QKeySequence(Qt::CTRL | Qt::Key_C));
  EditPaste1 = newAction(ActionList1, "EditPaste1", QStringLiteral("貼り付け(&P)"), QKeySequence(Qt::CTRL | Qt::Key_V));
  WindowCascade1 = newAction(ActionList1, "WindowCascade1", QStringLiteral("重ねて表示(&C)"));
  WindowTileHorizontal1 = newAction(ActionList1, "WindowTileHorizontal1", QStringLiteral("水平に並べて表示(&H)"));
  WindowTileVertical1 = newAction(ActionList1, "WindowTileVertical1", QStringLiteral("垂直に並べて表示(&V)"));
  WindowMinimizeAll1 = newAction(ActionList1, "WindowMinimizeAll1", QStringLiteral("すべてを最小化(&M)"));
  WindowArrangeAll1 = newAction(ActionList1, "WindowArrangeAll1", QStringLiteral("アイコンの整列(&A)"));
  HelpAbout1 = newAction(ActionList1, "HelpAbout1", QStringLiteral("バージョン情報(&A)..."));
  FileClose1->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_W), QKeySequence(Qt::CTRL | Qt::Key_F4)});
  AddressFocus1 = newAction(ActionList1, "AddressFocus1", QStringLiteral("アドレスへ移動"));
  AddressFocus1->setShortcuts(
      {QKeySequence(Qt::CTRL | Qt::Key_L), QKeySequence(Qt::ALT | Qt::Key_D), QKeySequence(Qt::Key_F6)});
  BrowseBack1 = newAction(ActionList1, "BrowseBack1", QStringLiteral("戻る"), QKeySequence(Qt::ALT | Qt::Key_Left));
  BrowseForward1 =
      newAction(ActionList1, "BrowseForward1", QStringLiteral("進む"), QKeySequence(Qt::ALT | Qt::Key_Right));
  BrowseReload1 = newAction(ActionList1, "BrowseReload1", QStringLiteral("更新"));
  BrowseReload1->setShortcuts({QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_R)});
  BrowseStop1 = newAction(ActionList1, "BrowseStop1", QStringLiteral("中止"), QKeySequence(Qt::Key_Escape));
  WindowNext1 = newAction(ActionList1, "WindowNext1", QStringLiteral("次のウィンドウ"));
  WindowNext1->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_F6)});
  WindowPrevious1 = newAction(ActionList1, "WindowPrevious1", QStringLiteral("前のウィンドウ"));
  // Shift+Tab arrives as Backtab; both spellings are bound.
  WindowPrevious1->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
                                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
                                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F6)});
  // The navigation keys act only while their button could be pressed, so a
  // key that has nothing to do here (Esc on a loaded page) stays the page's.
  for (QAction* a : {BrowseBack1, BrowseForward1, BrowseReload1, BrowseStop1}) a->setEnabled(false);
  const QString file = QStringLiteral("ファイル"), edit = QStringLiteral("編集"), window = QStringLiteral("ウィンドウ");
  for (QAction* a : {FileNew1, FileOpen1, FileClose1, FileExit1}) a->setProperty("Category", file);
  for (QAction* a : {EditCut1, EditCopy1, EditPaste1}) a->setProperty("Category", edit);
  for (QAction* a : {WindowCascade1, WindowTileHorizontal1, WindowTileVertical1, WindowMinimizeAll1, WindowArrangeAll1})
    a->setProperty("Category", window);
  HelpAbout1->setProperty("Category", QStringLiteral("ヘルプ"));
  // The edit actions work in the address bar's text box; they are on no menu.
  for (QAction* a : {EditCut1, EditCopy1, EditPaste1}) {
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    ToolBar3->addAction(a);
  }

  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("MainMenu1"));

  File1 = named(bar->addMenu(QStringLiteral("ファイル(&F)")), QStringLiteral("File1"));
  FileNewItem = boundItem(File1, "FileNewItem", FileNew1);
  FileOpenItem = boundItem(File1, "FileOpenItem", FileOpen1);
  FileCloseItem = boundItem(File1, "FileCloseItem", FileClose1);
  mnuFile_SaveAs = newAction(this, "mnuFile_SaveAs", QStringLiteral("名前をつけて保存(&A)..."));
  File1->addAction(mnuFile_SaveAs);
  N1 = separator(File1, "N1");
  FileExitItem = boundItem(File1, "FileExitItem", FileExit1);

  mnuEdit = named(bar->addMenu(QStringLiteral("編集(&E)")), QStringLiteral("mnuEdit"));
  mnuEdit_Copy = newAction(this, "mnuEdit_Copy", QStringLiteral("コピー(&P)"));
  mnuEdit->addAction(mnuEdit_Copy);
  N5 = separator(mnuEdit, "N5");
  mnuEdit_slrAll =
      newAction(this, "mnuEdit_slrAll", QStringLiteral("全て選択(&A)"), QKeySequence(Qt::CTRL | Qt::Key_A));
  mnuEdit->addAction(mnuEdit_slrAll);

  mnuShow = named(bar->addMenu(QStringLiteral("表示(&V)")), QStringLiteral("mnuShow"));
  mnuShow_Bar = named(mnuShow->addMenu(QStringLiteral("ツールバー(&T)")), QStringLiteral("mnuShow_Bar"));
  mnuShow_default = newAction(this, "mnuShow_default", QStringLiteral("標準"));
  mnuShow_Address = newAction(this, "mnuShow_Address", QStringLiteral("アドレスバー"));
  mnuShow_Status = newAction(this, "mnuShow_Status", QStringLiteral("ステータスバー"));
  mnuShow_Z = newAction(this, "mnuShow_Z", QStringLiteral("Ｚバー"), QKeySequence(Qt::Key_F10));
  for (QAction* a : {mnuShow_default, mnuShow_Address, mnuShow_Status, mnuShow_Z}) {
    a->setCheckable(true);
    a->setChecked(true);
    mnuShow_Bar->addAction(a);
  }
  N2 = separator(mnuShow, "N2");
  mnuShow_Size = named(mnuShow->addMenu(QStringLiteral("文字サイズ")), QStringLiteral("mnuShow_Size"));
  mnuSize_Max = newAction(this, "mnuSize_Max", QStringLiteral("最大(&B)"));
  mnuSize_Large = newAction(this, "mnuSize_Large", QStringLiteral("大(&L)"));
  mnuSize_middle = newAction(this, "mnuSize_middle", QStringLiteral("中(&M)"));
  mnuSize_Small = newAction(this, "mnuSize_Small", QStringLiteral("小(&S)"));
  mnuSize_Min = newAction(this, "mnuSize_Min", QStringLiteral("最小(A)"));
  for (QAction* a : {mnuSize_Max, mnuSize_Large, mnuSize_middle, mnuSize_Small, mnuSize_Min}) {
    a->setCheckable(true);
    mnuShow_Size->addAction(a);
  }

  mnuBookMark = named(bar->addMenu(QStringLiteral("ブックマーク(&B)")), QStringLiteral("mnuBookMark"));
  mnuBMEdit = newAction(this, "mnuBMEdit", QStringLiteral("ブックマークを編集"));
  mnuBookMark->addAction(mnuBMEdit);
  N4 = separator(mnuBookMark, "N4");

  Tool1 = named(bar->addMenu(QStringLiteral("ツール(&T)")), QStringLiteral("Tool1"));
  EngineItem = named(Tool1->addMenu(QStringLiteral("エンジン")), QStringLiteral("EngineItem"));
  IE_item = newAction(this, "IE_item", QStringLiteral("Internet Explorer"));
  Moz_Item = newAction(this, "Moz_Item", QStringLiteral("Gekko"));
  // A radio pair: the menu shows bullets, and exactly one is checked.
  auto* engines = new QActionGroup(EngineItem);
  engines->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
  for (QAction* a : {IE_item, Moz_Item}) {
    a->setCheckable(true);
    engines->addAction(a);
    EngineItem->addAction(a);
  }
  IE_item->setChecked(true);
  mnuOption = newAction(this, "mnuOption", QStringLiteral("オプション"), QKeySequence(Qt::Key_F12));
  Tool1->addAction(mnuOption);

  Window1 = named(bar->addMenu(QStringLiteral("ウィンドウ(&W)")), QStringLiteral("Window1"));
  WindowCascadeItem = boundItem(Window1, "WindowCascadeItem", WindowCascade1);
  WindowTileItem = boundItem(Window1, "WindowTileItem", WindowTileHorizontal1);
  WindowTileItem2 = boundItem(Window1, "WindowTileItem2", WindowTileVertical1);
  WindowMinimizeItem = boundItem(Window1, "WindowMinimizeItem", WindowMinimizeAll1);
  WindowArrangeItem = boundItem(Window1, "WindowArrangeItem", WindowArrangeAll1);

  Help1 = named(bar->addMenu(QStringLiteral("ヘルプ(&H)")), QStringLiteral("Help1"));
  HelpAboutItem = boundItem(Help1, "HelpAboutItem", HelpAbout1);

  // Shortcuts of actions on no visible widget still work in the frame.
  addActions({FileNew1, FileOpen1, FileClose1, FileExit1, HelpAbout1, mnuEdit_slrAll, mnuShow_Z, mnuOption,
              AddressFocus1, BrowseBack1, BrowseForward1, BrowseReload1, BrowseStop1, WindowNext1, WindowPrevious1});

  // Start-up enabling.
  for (QAction* a : {mnuFile_SaveAs, mnuEdit_Copy, mnuEdit_slrAll}) a->setEnabled(false);
  mnuShow_Size->setEnabled(false);
  UpdateWindowActions();
  NameComponents();
}

void TMainForm::NameComponents() {
  // What a user reads is what assistive technology reads: captions speak
  // for themselves (the toolkit drops the access-key marker); components
  // without a caption get a short name after their label or purpose.
  ToolButton1->setAccessibleName(QStringLiteral("新規作成"));
  BackCtrl->setAccessibleName(QStringLiteral("戻る"));
  FrwrdCtrl->setAccessibleName(QStringLiteral("進む"));
  StopCtrl->setAccessibleName(QStringLiteral("中止"));
  ReLoadCtrl->setAccessibleName(QStringLiteral("更新"));
  ToolBar2->setAccessibleName(QStringLiteral("標準"));
  ToolBar3->setAccessibleName(QStringLiteral("アドレスバー"));
  txtAddress->setAccessibleName(QStringLiteral("アドレス"));
  txtAddress->setAccessibleDescription(QStringLiteral("開くページのアドレス。Enter キーで移動します"));
  Label1->setBuddy(txtAddress);
  ZBar->setAccessibleName(QStringLiteral("Ｚバー"));
  TreeView1->setAccessibleName(QStringLiteral("Ｚバー"));
  TreeView1->setAccessibleDescription(QStringLiteral("ブックマーク"));
  btnBar->setAccessibleName(QStringLiteral("Ｚバーの開閉"));
  ToolBar1->setAccessibleName(QStringLiteral("ステータスバー"));
  StatusBar1->setAccessibleName(QStringLiteral("ステータスバー"));
  StatusPanel0->setAccessibleName(QStringLiteral("ステータス"));
  ProgressBar1->setAccessibleName(QStringLiteral("進行状況"));
  MDIClient->setAccessibleName(QStringLiteral("ウィンドウ"));
  CoolBar1->setAccessibleName(QStringLiteral("ツールバー"));
  menuBar()->setAccessibleName(QStringLiteral("メニュー"));
  centralWidget()->setAccessibleName(QStringLiteral("Zelvo"));
  for (QMenu* m : findChildren<QMenu*>()) m->setAccessibleName(QString(m->title()).remove(u'&'));
  // The toolkit's own parts: the button bar's overflow button, the tree's
  // hidden header.
  for (auto* b : ToolBar2->findChildren<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
    b->setAccessibleName(QStringLiteral("その他のボタン"));
  TreeView1->setHeaderLabel(TreeView1->accessibleName());

  // Tab goes through the address bar, then the side bar, then the pages.
  setTabOrder(txtAddress, btnMove);
  setTabOrder(btnMove, TreeView1);
  setTabOrder(TreeView1, btnBar);
  setTabOrder(btnBar, MDIClient);
}
