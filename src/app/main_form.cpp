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

#include "app/cool_bar.h"
#include "app/frame_widgets.h"
#include "app/menu_hints.h"
#include "browser/browser_child.h"
#include "platform/guarded.h"
#include "session/session_store.h"

using namespace frame_widgets;

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
}  // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("MainForm"));
  // Native windows stay where they must be: see KeepChildrenStackable.
  QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
  setWindowTitle(QStringLiteral("Zelvo"));
  installMenuHintDescriptions();
  CreateComponents();
  CreateMenus();
  CreateEngineItems();
  CreateBookmarkFileItems();
  CreateHistoryItems();
  CreateIconItems();
  CreatePrintItems();  // printing
  CreatePasswordItems();
  CreateFindAndSearch();
  CreateSessionItems();
  CreateDownloadItems();
  CreateZoomItems();
  CreatePrivacyItems();
  CreateSiteDataItems();  // cookies, site data, permissions, clearing
  BindHandlers();
  guarded::run([this] { FormCreate(); });
}

TMainForm::~TMainForm() {
  // The children outlive this body; what they signal while they go must not
  // reach a frame that is no longer whole.
  if (MDIClient) MDIClient->disconnect(this);
  // A frame ended without its close (tests) ends its run all the same.
  EndSession();
  delete Session;  // the windows that go next have no record to tell
  Session = nullptr;
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
  for (QAction* a : {FileClose1, WindowNext1, WindowPrevious1, AddressFocus1, AddressSearch1, mnuEdit_Find})
    if (a->isEnabled() && a->shortcuts().contains(pressed)) return true;
  return false;
}
