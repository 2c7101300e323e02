#include "app/main_form.h"

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

#include "app/about_box.h"
#include "app/app_path.h"
#include "app/band_layout.h"
#include "app/cool_bar.h"
#include "app/forms.h"
#include "app/menu_hints.h"
#include "app/window_arrange.h"
#include "bookmarks/bookmark_file.h"
#include "browser/browser_child.h"
#include "browser/engine_readiness.h"
#include "engine/engine_control.h"
#include "platform/atomic_file.h"
#include "platform/guarded.h"
#include "platform/ini_file.h"

namespace {

// Withholds a key's override request from a page when the frame keeps the key.
class PageKeyFilter : public QObject {
 public:
  explicit PageKeyFilter(TMainForm* frame) : QObject(frame), frame_(frame) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    return event->type() == QEvent::ShortcutOverride && frame_->FrameKeepsKey(watched, static_cast<QKeyEvent*>(event));
  }

 private:
  TMainForm* frame_;
};

template <class W>
W* named(W* w, const QString& name) {
  w->setObjectName(name);
  return w;
}

QAction* newAction(QObject* owner, const char* name, const QString& caption, const QKeySequence& shortcut = {}) {
  auto* a = new QAction(caption, owner);
  a->setObjectName(QString::fromLatin1(name));
  if (!shortcut.isEmpty()) a->setShortcut(shortcut);
  return a;
}

// A menu item bound to an action takes the action's caption, shortcut and
// enabling, and choosing it executes the action. The action's shortcut is
// the one that works; the item only shows it (and answers it while its
// own menu is open).
QAction* boundItem(QMenu* menu, const char* name, QAction* action) {
  auto* item = new QAction(menu);
  item->setObjectName(QString::fromLatin1(name));
  item->setShortcutContext(Qt::WidgetShortcut);
  auto follow = [item, action] {
    item->setText(action->text());
    item->setShortcut(action->shortcut());
    item->setEnabled(action->isEnabled());
    item->setVisible(action->isVisible());
    item->setStatusTip(action->statusTip());
  };
  follow();
  QObject::connect(action, &QAction::changed, item, follow);
  QObject::connect(item, &QAction::triggered, action, [action] { action->trigger(); });
  menu->addAction(item);
  return item;
}

QAction* separator(QMenu* menu, const char* name) {
  QAction* a = menu->addSeparator();
  a->setObjectName(QString::fromLatin1(name));
  return a;
}

}  // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QStringLiteral("Zelvo"));
  installMenuHintDescriptions();
  CreateComponents();
  CreateMenus();
  CreateEngineItems();
  CreateBookmarkFileItems();
  BindHandlers();
  guarded::run([this] { FormCreate(); });
}

TMainForm::~TMainForm() {
  // The children outlive this body; what they signal while they go must not
  // reach a frame that is no longer whole.
  if (MDIClient) MDIClient->disconnect(this);
}

void TMainForm::CreateComponents() {
  const QStyle* st = style();
  ImageList1 = QList<QIcon>(13);
  ImageList1[0] = QIcon::fromTheme(QStringLiteral("window-new"), st->standardIcon(QStyle::SP_FileIcon));
  ImageList1[1] = QIcon::fromTheme(QStringLiteral("go-previous"), st->standardIcon(QStyle::SP_ArrowBack));
  ImageList1[2] = QIcon::fromTheme(QStringLiteral("go-next"), st->standardIcon(QStyle::SP_ArrowForward));
  ImageList1[3] = QIcon::fromTheme(QStringLiteral("process-stop"), st->standardIcon(QStyle::SP_BrowserStop));
  ImageList1[4] = QIcon::fromTheme(QStringLiteral("view-refresh"), st->standardIcon(QStyle::SP_BrowserReload));
  ImageList1[11] = QIcon::fromTheme(QStringLiteral("folder"), st->standardIcon(QStyle::SP_DirIcon));
  ImageList1[12] = QIcon::fromTheme(QStringLiteral("text-html"), st->standardIcon(QStyle::SP_FileLinkIcon));

  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("ClientPanel"));
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  CoolBar1 = named(new TCoolBar(central), QStringLiteral("CoolBar1"));

  ToolBar2 = named(new QToolBar(), QStringLiteral("ToolBar2"));
  ToolBar2->setIconSize(QSize(16, 16));
  ToolBar2->setMovable(false);
  ToolBar2->setFloatable(false);
  auto toolButton = [this](const char* name, int image) {
    auto* b = named(new QToolButton(ToolBar2), QString::fromLatin1(name));
    b->setIcon(ImageList1[image]);
    b->setAutoRaise(true);
    ToolBar2->addWidget(b);
    return b;
  };
  ToolButton1 = toolButton("ToolButton1", 0);
  ToolButton1->setToolTip(QStringLiteral("新規作成"));
  ToolButton6 = ToolBar2->addSeparator();
  ToolButton6->setObjectName(QStringLiteral("ToolButton6"));
  BackCtrl = toolButton("BackCtrl", 1);
  BackCtrl->setToolTip(QStringLiteral("戻る"));
  FrwrdCtrl = toolButton("FrwrdCtrl", 2);
  FrwrdCtrl->setToolTip(QStringLiteral("進む"));
  StopCtrl = toolButton("StopCtrl", 3);
  StopCtrl->setToolTip(QStringLiteral("中止"));
  ReLoadCtrl = toolButton("ReLoadCtrl", 4);
  ReLoadCtrl->setToolTip(QStringLiteral("更新"));
  for (QToolButton* b : {BackCtrl, FrwrdCtrl, StopCtrl, ReLoadCtrl}) b->setEnabled(false);

  // The address bar lays out its three parts itself (FormResize).
  ToolBar3 = named(new QWidget(), QStringLiteral("ToolBar3"));
  ToolBar3->setFixedHeight(24);
  // The label starts at the bar's left edge, so that the box fills exactly
  // what the label and the button leave (FormResize).
  Label1 = named(new QLabel(QStringLiteral("アドレス"), ToolBar3), QStringLiteral("Label1"));
  Label1->setGeometry(0, 2, 46, 20);
  Label1->setIndent(2);
  Label1->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
  txtAddress = named(new QLineEdit(ToolBar3), QStringLiteral("txtAddress"));
  txtAddress->setGeometry(46, 2, 200, 20);
  // Any address an engine takes fits; the box cuts nothing off.
  txtAddress->setMaxLength(std::numeric_limits<int>::max());
  btnMove = named(new QPushButton(QStringLiteral("移動"), ToolBar3), QStringLiteral("btnMove"));
  btnMove->setGeometry(246, 2, 41, 20);
  btnMove->setAutoDefault(false);

  CoolBar1->addBand(ToolBar2, 24);
  CoolBar1->addBand(ToolBar3, 24);
  column->addWidget(CoolBar1);

  auto* middle = new QHBoxLayout();
  middle->setContentsMargins(0, 0, 0, 0);
  middle->setSpacing(0);
  ZBar = named(new QWidget(central), QStringLiteral("ZBar"));
  ZBar->setCursor(Qt::SizeHorCursor);
  ZBar->setFixedWidth(153);
  TreeView1 = named(new QTreeWidget(ZBar), QStringLiteral("TreeView1"));
  TreeView1->setHeaderHidden(true);
  TreeView1->setCursor(Qt::ArrowCursor);
  btnBar = named(new QToolButton(ZBar), QStringLiteral("btnBar"));
  btnBar->setCursor(Qt::PointingHandCursor);
  btnBar->setProperty("Tag", 0);
  middle->addWidget(ZBar);
  MDIClient = named(new QMdiArea(central), QStringLiteral("MDIClient"));
  MDIClient->setViewMode(QMdiArea::SubWindowView);
  MDIClient->setBackground(QGuiApplication::palette().brush(QPalette::Dark));
  middle->addWidget(MDIClient, 1);
  column->addLayout(middle, 1);

  ToolBar1 = named(new QWidget(central), QStringLiteral("ToolBar1"));
  ToolBar1->setFixedHeight(22);
  StatusBar1 = named(new QStatusBar(ToolBar1), QStringLiteral("StatusBar1"));
  StatusBar1->setSizeGripEnabled(false);
  StatusPanel0 = named(new QLabel(StatusBar1), QStringLiteral("StatusPanel0"));
  // Pages supply this text: it is shown as it is, never as markup.
  StatusPanel0->setTextFormat(Qt::PlainText);
  StatusPanel0->setMinimumWidth(50);
  StatusBar1->addWidget(StatusPanel0, 1);
  StatusBar1->setGeometry(0, 0, 200, 22);
  ProgressBar1 = named(new QProgressBar(ToolBar1), QStringLiteral("ProgressBar1"));
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->setGeometry(200, 3, 130, 16);
  column->addWidget(ToolBar1);

  setCentralWidget(central);
  // The side bar's width must not hold the frame wide: narrowing the frame
  // narrows what the side bar shows (ShowZBarWidth) instead.
  MDIClient->setMinimumWidth(MDIClient->minimumSizeHint().width());
  central->setMinimumWidth(kZBarCollapsedWidth + MDIClient->minimumWidth());

  OpenDialog = named(new QFileDialog(this), QStringLiteral("OpenDialog"));
  OpenDialog->setOption(QFileDialog::DontUseNativeDialog);
  OpenDialog->setFileMode(QFileDialog::ExistingFile);
  OpenDialog->setAcceptMode(QFileDialog::AcceptOpen);
  OpenDialog->setNameFilter(QStringLiteral("すべてのファイル(*.*)"));
  // "*.*" means every file here, also those without a dot in their name.
  if (auto* model = OpenDialog->findChild<QFileSystemModel*>()) model->setNameFilters({QStringLiteral("*")});

  // Bars that lay out their own children follow their size changes.
  ToolBar1->installEventFilter(this);
  ToolBar3->installEventFilter(this);
  ZBar->installEventFilter(this);
  TreeView1->installEventFilter(this);
  TreeView1->viewport()->installEventFilter(this);
  txtAddress->installEventFilter(this);
}

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

void TMainForm::BindHandlers() {
  using guarded::handler;
  // Qt flips a checkable item's mark before its handler runs; these
  // handlers set the marks themselves, so the flip is undone first.
  auto checkItem = [this](QAction* item, void (TMainForm::*method)()) {
    connect(item, &QAction::triggered, this, [this, item, method] {
      item->setChecked(!item->isChecked());
      guarded::run([&] { (this->*method)(); });
    });
  };
  connect(FileNew1, &QAction::triggered, this, handler(this, &TMainForm::FileNew1Execute));
  connect(FileOpen1, &QAction::triggered, this, handler(this, &TMainForm::FileOpen1Execute));
  connect(OpenDialog, &QDialog::accepted, this, handler(this, &TMainForm::OpenDialogAccept));
  connect(FileClose1, &QAction::triggered, this, handler(this, &TMainForm::FileClose1Execute));
  connect(FileExit1, &QAction::triggered, this, handler(this, &TMainForm::FileExit1Execute));
  connect(HelpAbout1, &QAction::triggered, this, handler(this, &TMainForm::HelpAbout1Execute));
  connect(WindowCascade1, &QAction::triggered, this, handler(this, &TMainForm::WindowCascade1Execute));
  connect(WindowTileHorizontal1, &QAction::triggered, this, handler(this, &TMainForm::WindowTileHorizontal1Execute));
  connect(WindowTileVertical1, &QAction::triggered, this, handler(this, &TMainForm::WindowTileVertical1Execute));
  connect(WindowMinimizeAll1, &QAction::triggered, this, handler(this, &TMainForm::WindowMinimizeAll1Execute));
  connect(WindowArrangeAll1, &QAction::triggered, this, handler(this, &TMainForm::WindowArrangeAll1Execute));
  connect(EditCut1, &QAction::triggered, this, [this] { guarded::run([this] { txtAddress->cut(); }); });
  connect(EditCopy1, &QAction::triggered, this, [this] { guarded::run([this] { txtAddress->copy(); }); });
  connect(EditPaste1, &QAction::triggered, this, [this] { guarded::run([this] { txtAddress->paste(); }); });
  connect(ToolButton1, &QToolButton::clicked, this, handler(this, &TMainForm::ToolButton1Click));
  checkItem(IE_item, &TMainForm::IE_ItemClick);
  checkItem(Moz_Item, &TMainForm::Moz_ItemClick);
  connect(mnuOption, &QAction::triggered, this, handler(this, &TMainForm::mnuOptionClick));

  checkItem(mnuShow_default, &TMainForm::mnuShow_defaultClick);
  checkItem(mnuShow_Address, &TMainForm::mnuShow_AddressClick);
  checkItem(mnuShow_Status, &TMainForm::mnuShow_StatusClick);
  checkItem(mnuShow_Z, &TMainForm::mnuShow_ZClick);
  connect(btnBar, &QToolButton::clicked, this, handler(this, &TMainForm::btnBarClick));
  connect(CoolBar1, &TCoolBar::mouseUp, this, handler(this, &TMainForm::CoolBar1MouseUp));

  connect(BackCtrl, &QToolButton::clicked, this, handler(this, &TMainForm::BackCtrlClick));
  connect(FrwrdCtrl, &QToolButton::clicked, this, handler(this, &TMainForm::FrwrdCtrlClick));
  connect(StopCtrl, &QToolButton::clicked, this, handler(this, &TMainForm::StopCtrlClick));
  connect(ReLoadCtrl, &QToolButton::clicked, this, handler(this, &TMainForm::ReLoadCtrlClick));
  connect(btnMove, &QPushButton::clicked, this, handler(this, &TMainForm::btnMoveClick));
  connect(mnuFile_SaveAs, &QAction::triggered, this, handler(this, &TMainForm::mnuFile_SaveAsClick));
  connect(mnuEdit_Copy, &QAction::triggered, this, handler(this, &TMainForm::mnuEdit_CopyClick));
  connect(mnuEdit_slrAll, &QAction::triggered, this, handler(this, &TMainForm::mnuEdit_slrAllClick));
  checkItem(mnuSize_Max, &TMainForm::mnuSize_MaxClick);
  checkItem(mnuSize_Large, &TMainForm::mnuSize_LargeClick);
  checkItem(mnuSize_middle, &TMainForm::mnuSize_middleClick);
  checkItem(mnuSize_Small, &TMainForm::mnuSize_SmallClick);
  checkItem(mnuSize_Min, &TMainForm::mnuSize_MinClick);

  connect(mnuBMEdit, &QAction::triggered, this, handler(this, &TMainForm::mnuBMEditClick));
  // The side bar follows the selection (what the user sees highlighted),
  // not Qt's current item, which a click that only cleared the highlight
  // leaves in place.
  connect(TreeView1, &QTreeWidget::itemSelectionChanged, this, [this] {
    const QList<QTreeWidgetItem*> selected = TreeView1->selectedItems();
    if (!selected.isEmpty()) guarded::run([&] { TreeView1Change(selected.first()); });
  });

  // A child's activation refills the frame's page display once per change
  // of the active child (not when the whole program regains activation).
  connect(MDIClient, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* w) {
    UpdateWindowActions();
    if (auto* child = qobject_cast<TBrowserChild*>(w)) ActivateChild(child);
  });
  connect(Window1, &QMenu::aboutToShow, this, [this] { guarded::run([this] { FillWindowMenu(); }); });

  connect(AddressFocus1, &QAction::triggered, this, handler(this, &TMainForm::AddressFocus1Execute));
  connect(BrowseBack1, &QAction::triggered, this, handler(this, &TMainForm::BackCtrlClick));
  connect(BrowseForward1, &QAction::triggered, this, handler(this, &TMainForm::FrwrdCtrlClick));
  connect(BrowseReload1, &QAction::triggered, this, handler(this, &TMainForm::ReLoadCtrlClick));
  connect(BrowseStop1, &QAction::triggered, this, handler(this, &TMainForm::StopCtrlClick));
  connect(WindowNext1, &QAction::triggered, this, handler(this, &TMainForm::WindowNext1Execute));
  connect(WindowPrevious1, &QAction::triggered, this, handler(this, &TMainForm::WindowPrevious1Execute));
  for (QToolButton* b : {BackCtrl, FrwrdCtrl, StopCtrl, ReLoadCtrl}) b->installEventFilter(this);
  // A page's widgets are made by the engine; their key overrides are seen
  // from the application.
  qApp->installEventFilter(new PageKeyFilter(this));
}

bool TMainForm::FrameKeepsKey(QObject* watched, QKeyEvent* event) const {
  // A page's editable field claims some keys that belong to the frame
  // (Ctrl+W in a text field); these window-level keys stay the frame's.
  if (!watched->isWidgetType() || !MDIClient->isAncestorOf(static_cast<QWidget*>(watched))) return false;
  const QKeySequence pressed(event->keyCombination());
  for (QAction* a : {FileClose1, WindowNext1, WindowPrevious1, AddressFocus1})
    if (a->isEnabled() && a->shortcuts().contains(pressed)) return true;
  return false;
}

// ---- start-up and close ---------------------------------------------------

void TMainForm::FormCreate() {
  AppPath = programFolder();
  // A save cut short by a crash is finished or cleared before anything reads.
  recoverInterruptedReplace(ConfigPath());
  bookmarks::recoverInterruptedSave(bookmarks::kFileName);
  bookmarks::setReadReporter(guarded::report);
  BandPositionRead();

  FramePositionRead();
  if (startMaximized_)
    showMaximized();
  else
    show();
  raise();
  activateWindow();

  // A failing bookmark build ends that build only; start-up goes on.
  guarded::run([this] { BuildBookmarkMenu(); });

  // Only a real file counts: anything else under the name is no settings.
  if (!regularFileExists(ConfigPath())) mnuOptionClick();

  {
    const IniFile ini(ConfigPath());
    const bool ie = ini.ReadString(QStringLiteral("General"), QStringLiteral("LastEngine"), QStringLiteral("IE")) ==
                    QLatin1String("IE");
    IE_item->setChecked(ie);
    Moz_Item->setChecked(!ie);
    if (ini.ReadInteger(QStringLiteral("Option_Main"), QStringLiteral("Mozilla"), 0) == 0) Moz_Item->setEnabled(false);
  }

  guarded::run([this] { BuildBookmarkBar(); });
  ViewToolBar();
  mnuFile_SaveAs->setEnabled(false);
  ReadMojiSize();
  mnuShow_Size->setEnabled(false);
  FormResize();

  // Once the frame has shown itself and is idle, the checked engine is
  // readied for the first window.
  Readiness = new TEngineReadiness(this);
  QTimer::singleShot(kReadyAfterMs, Readiness, [this] { ReadyCheckedEngine(); });
}

void TMainForm::ReadyCheckedEngine() {
  if (IE_item->isChecked())
    Readiness->ready(true);
  else if (Moz_Item->isChecked() && Moz_Item->isEnabled())
    Readiness->ready(false);
}

void TMainForm::FormClose() {
  const QString engine = IE_item->isChecked() ? QStringLiteral("IE") : QStringLiteral("Gecko");
  {
    IniFile ini(ConfigPath());
    ini.WriteString(QStringLiteral("General"), QStringLiteral("LastEngine"), engine);
    ini.WriteInteger(QStringLiteral("General"), QStringLiteral("LastMojiSize"), MojiSize);
  }
  BandPositionWrite();
  FramePositionWrite();
}

namespace {
const QString kFrameSection = QStringLiteral("MainForm");
}

void TMainForm::FramePositionRead() {
  QRect saved;
  {
    const IniFile ini(ConfigPath());
    saved = QRect(ini.ReadInteger(kFrameSection, QStringLiteral("Left"), 0),
                  ini.ReadInteger(kFrameSection, QStringLiteral("Top"), 0),
                  ini.ReadInteger(kFrameSection, QStringLiteral("Width"), 0),
                  ini.ReadInteger(kFrameSection, QStringLiteral("Height"), 0));
    startMaximized_ = ini.ReadBool(kFrameSection, QStringLiteral("Maximized"), false);
  }
  QList<QRect> screens;
  if (const QScreen* p = QGuiApplication::primaryScreen()) screens.append(p->availableGeometry());
  for (const QScreen* s : QGuiApplication::screens())
    if (s != QGuiApplication::primaryScreen()) screens.append(s->availableGeometry());
  if (saved.width() < 100 || saved.height() < 100) {
    // Never saved (or nonsense): the window system places it, at three
    // quarters of the screen.
    if (!screens.isEmpty()) resize(screens.first().size() * 3 / 4);
    return;
  }
  const QRect r = arrange::keepOnScreens(saved, screens);
  move(r.topLeft());
  resize(r.size());
  normalGeometry_ = r;
}

void TMainForm::FramePositionWrite() {
  QRect r = normalGeometry_;
  if (r.isEmpty()) r = QRect(pos(), size());
  IniFile ini(ConfigPath());
  ini.WriteInteger(kFrameSection, QStringLiteral("Left"), r.x());
  ini.WriteInteger(kFrameSection, QStringLiteral("Top"), r.y());
  ini.WriteInteger(kFrameSection, QStringLiteral("Width"), r.width());
  ini.WriteInteger(kFrameSection, QStringLiteral("Height"), r.height());
  ini.WriteBool(kFrameSection, QStringLiteral("Maximized"), (windowState() & Qt::WindowMaximized) != 0);
}

void TMainForm::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  if (isVisible() && !(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)))
    normalGeometry_ = QRect(pos(), size());
}

void TMainForm::closeEvent(QCloseEvent* event) {
  // The settings are saved if they can be; the frame closes either way.
  guarded::run([this] { FormClose(); });
  event->accept();
  emit Closed();
}

void TMainForm::FormResize() {
  if (ToolBar1->width() > 260) {
    ProgressBar1->setGeometry(ToolBar1->width() - 130, ProgressBar1->y(), 130, ProgressBar1->height());
    StatusBar1->setGeometry(0, 0, ToolBar1->width() - 130, ToolBar1->height());
  }
  btnMove->move(ToolBar3->width() - btnMove->width(), btnMove->y());
  txtAddress->resize(ToolBar3->width() - btnMove->width() - Label1->width(), txtAddress->height());
}

void TMainForm::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (isVisible() && !(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)))
    normalGeometry_ = QRect(pos(), size());
  // The side bar shows as much of its kept width as the frame has room for.
  ShowZBarWidth();
  guarded::run([this] { FormResize(); });
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::EnabledChange) {
    // Each navigation key follows its button.
    if (watched == BackCtrl) BrowseBack1->setEnabled(BackCtrl->isEnabled());
    if (watched == FrwrdCtrl) BrowseForward1->setEnabled(FrwrdCtrl->isEnabled());
    if (watched == StopCtrl) BrowseStop1->setEnabled(StopCtrl->isEnabled());
    if (watched == ReLoadCtrl) BrowseReload1->setEnabled(ReLoadCtrl->isEnabled());
  } else if (event->type() == QEvent::Resize) {
    if (watched == ToolBar1 || watched == ToolBar3) guarded::run([this] { FormResize(); });
    if (watched == ZBar) guarded::run([this] { ZBarResize(); });
  } else if (watched == ZBar &&
             (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
    // Presses that the tree or the button pass up (its edge, a right click
    // on the button) are not the bar's: only the bar's own free part starts
    // a drag.
    zbarPressed_ = ZBar->childAt(static_cast<QMouseEvent*>(event)->position().toPoint()) == nullptr;
  } else if (watched == ZBar && event->type() == QEvent::MouseButtonRelease) {
    if (std::exchange(zbarPressed_, false)) guarded::run([&] { ZBarMouseUp(static_cast<QMouseEvent*>(event)); });
  } else if (watched == TreeView1 && event->type() == QEvent::KeyPress) {
    // Selection changes while a key is down come from the keyboard; Enter
    // is a deliberate choice of the current node.
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      if (QTreeWidgetItem* node = TreeView1->currentItem()) guarded::run([&] { OpenBarNode(node, true); });
      return true;
    }
    treeByKey_ = true;
  } else if (watched == TreeView1 && (event->type() == QEvent::KeyRelease || event->type() == QEvent::FocusOut)) {
    treeByKey_ = false;
  } else if (watched == TreeView1->viewport() && event->type() == QEvent::MouseButtonPress) {
    treeByKey_ = false;
  } else if (event->type() == QEvent::KeyPress && watched == txtAddress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) guarded::run([&] { txtAddressKeyDown(13); });
  }
  return QMainWindow::eventFilter(watched, event);
}

bool TMainForm::event(QEvent* event) {
  // Hints of menu items and actions show in the status bar while pointed at.
  if (event->type() == QEvent::StatusTip) {
    const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
    if (tip.isEmpty())
      StatusBar1->clearMessage();
    else
      StatusBar1->showMessage(tip);
    return true;
  }
  return QMainWindow::event(event);
}

// ---- commands of the frame ------------------------------------------------

void TMainForm::FileNew1Execute() {
  if (IE_item->isChecked())
    OpenChild(QStringLiteral("Internet Explorer"), QString());
  else
    OpenChild(QStringLiteral("Gecko"), QStringLiteral("about:blank"));
}

void TMainForm::FileOpen1Execute() {
  // Modal to the frame only and not waited for, so that whatever pressed
  // the item (an assistive technology too) gets its answer at once; the
  // choice comes back through OpenDialogAccept.
  OpenDialog->open();
}

void TMainForm::OpenDialogAccept() {
  const QStringList files = OpenDialog->selectedFiles();
  if (files.isEmpty()) return;
  OpenChild(QString(), files.first());
}

void TMainForm::FileClose1Execute() {
  if (QMdiSubWindow* w = MDIClient->currentSubWindow()) w->close();
}

void TMainForm::FileExit1Execute() { close(); }

void TMainForm::AddressFocus1Execute() {
  if (!txtAddress->isVisible()) return;
  txtAddress->setFocus(Qt::ShortcutFocusReason);
  txtAddress->selectAll();
}

void TMainForm::WindowNext1Execute() { MDIClient->activateNextSubWindow(); }

void TMainForm::WindowPrevious1Execute() { MDIClient->activatePreviousSubWindow(); }

void TMainForm::HelpAbout1Execute() {
  // Modal to the whole program, but without a nested event loop, so that
  // whoever triggered the item (an assistive technology's call included)
  // gets its answer while the box is up.
  if (!AboutBox) return;
  AboutBox->setWindowModality(Qt::ApplicationModal);
  AboutBox->show();
  AboutBox->raise();
  AboutBox->activateWindow();
}

void TMainForm::ToolButton1Click() { FileNew1->trigger(); }

void TMainForm::IE_ItemClick() {
  IE_item->setChecked(true);
  Moz_Item->setChecked(false);
  ReadyCheckedEngine();
}

void TMainForm::Moz_ItemClick() {
  Moz_Item->setChecked(true);
  IE_item->setChecked(false);
  ReadyCheckedEngine();
}

// ---- MDI children and the window menu -----------------------------------

QList<QMdiSubWindow*> TMainForm::MDIChildren() const { return MDIClient->subWindowList(QMdiArea::CreationOrder); }

int TMainForm::MDIChildCount() const { return static_cast<int>(MDIChildren().size()); }

TBrowserChild* TMainForm::ActiveMDIChild() const { return qobject_cast<TBrowserChild*>(MDIClient->currentSubWindow()); }

void TMainForm::ActivateChild(TBrowserChild* child) {
  // A child still being created is activated once its creation is done.
  if (child == lastActivated_ || child->Alive == TBrowserChild::kFalse) return;
  if (MDIClient->currentSubWindow() != child) {
    MDIClient->setActiveSubWindow(child);  // its signal comes back here
    if (child == lastActivated_ || MDIClient->currentSubWindow() != child) return;
  }
  lastActivated_ = child;
  guarded::run([child] { child->FormActivate(); });
  // A window made active, by any means, takes the keys into its page.
  if (child->Control()) child->Control()->setFocus(Qt::OtherFocusReason);
}

void TMainForm::UpdateWindowActions() {
  const bool any = !MDIClient->subWindowList().isEmpty();
  for (QAction* a : {WindowCascade1, WindowTileHorizontal1, WindowTileVertical1, WindowMinimizeAll1, WindowArrangeAll1})
    a->setEnabled(any);
  FileClose1->setEnabled(MDIClient->currentSubWindow() != nullptr);
}

void TMainForm::FillWindowMenu() {
  for (QAction* a : windowListItems_) {
    Window1->removeAction(a);
    delete a;
  }
  windowListItems_.clear();
  const QList<QMdiSubWindow*> children = MDIChildren();
  if (children.isEmpty()) return;
  windowListItems_.append(Window1->addSeparator());
  int n = 0;
  for (QMdiSubWindow* w : children) {
    ++n;
    const auto* child = qobject_cast<TBrowserChild*>(w);
    const QString title = child ? child->Caption() : w->windowTitle();
    const QString caption =
        n < 10 ? QStringLiteral("&%1 %2").arg(n).arg(title) : QStringLiteral("%1 %2").arg(n).arg(title);
    QAction* a = Window1->addAction(caption);
    a->setCheckable(true);
    a->setChecked(w == MDIClient->currentSubWindow());
    QPointer<QMdiSubWindow> target(w);
    connect(a, &QAction::triggered, this, [this, target] {
      guarded::run([&] {
        if (!target) return;
        if (target->isMinimized()) target->showNormal();
        MDIClient->setActiveSubWindow(target);
      });
    });
    windowListItems_.append(a);
  }
}

namespace {
QList<QMdiSubWindow*> restoredChildren(const QList<QMdiSubWindow*>& all) {
  QList<QMdiSubWindow*> r;
  for (QMdiSubWindow* w : all)
    if (!w->isMinimized() && !w->isHidden()) r.append(w);
  return r;
}

void place(const QList<QMdiSubWindow*>& windows, const QList<QRect>& rects) {
  for (qsizetype i = 0; i < windows.size() && i < rects.size(); ++i) {
    if (windows[i]->isMaximized()) windows[i]->showNormal();
    windows[i]->setGeometry(rects[i]);
    windows[i]->raise();
  }
}
}  // namespace

void TMainForm::WindowCascade1Execute() {
  auto windows = restoredChildren(MDIChildren());
  // The active window stays active, placed last so that it lies on top.
  if (QMdiSubWindow* active = MDIClient->currentSubWindow(); windows.removeOne(active)) windows.append(active);
  const int step = style()->pixelMetric(QStyle::PM_TitleBarHeight) + 4;
  place(windows, arrange::cascade(MDIClient->viewport()->rect(), static_cast<int>(windows.size()), step));
}

void TMainForm::WindowTileHorizontal1Execute() {
  const auto windows = restoredChildren(MDIChildren());
  place(windows, arrange::tileHorizontal(MDIClient->viewport()->rect(), static_cast<int>(windows.size())));
}

void TMainForm::WindowTileVertical1Execute() {
  const auto windows = restoredChildren(MDIChildren());
  place(windows, arrange::tileVertical(MDIClient->viewport()->rect(), static_cast<int>(windows.size())));
}

void TMainForm::WindowMinimizeAll1Execute() {
  const auto windows = MDIChildren();
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) (*it)->showMinimized();
}

void TMainForm::WindowArrangeAll1Execute() {
  QList<QMdiSubWindow*> icons;
  for (QMdiSubWindow* w : MDIChildren())
    if (w->isMinimized()) icons.append(w);
  if (icons.isEmpty()) return;
  const QSize icon = icons.first()->size();
  const auto rects = arrange::iconRow(MDIClient->viewport()->rect(), icon, static_cast<int>(icons.size()));
  for (qsizetype i = 0; i < icons.size(); ++i) icons[i]->move(rects[i].topLeft());
}
