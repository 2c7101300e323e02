#pragma once

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <optional>

#include "browser/page_display.h"
#include "options/option_form.h"

class QAction;
class QActionGroup;
class QFileDialog;
class QLabel;
class QLineEdit;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QMouseEvent;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class TCoolBar;
namespace bookmarks {
struct HtmlImport;
}
class TBrowserChild;
namespace session {
class Store;
struct Window;
struct Record;
}  // namespace session
namespace history {
class Store;
class TAddressCompleter;
class THistoryWindow;
}  // namespace history

// The frame: an MDI main window with its menus, actions, bars and the shared
// page display that the browser children fill. Components are public fields
// named as the forms name them (and carry that name as objectName), so that
// the child windows, the dialogs and the tests reach them by name.
class TMainForm : public QMainWindow, public TPageDisplay, public TOptionOwner {
  Q_OBJECT

 public:
  explicit TMainForm(QWidget* parent = nullptr);
  ~TMainForm() override;

  // ---- components --------------------------------------------------------
  TCoolBar* CoolBar1 = nullptr;
  QToolBar* ToolBar2 = nullptr;  // band 0: the buttons
  QToolButton* ToolButton1 = nullptr;
  QAction* ToolButton6 = nullptr;  // separator, 8 wide
  QToolButton* BackCtrl = nullptr;
  QToolButton* FrwrdCtrl = nullptr;
  QToolButton* StopCtrl = nullptr;
  QToolButton* ReLoadCtrl = nullptr;
  QWidget* ToolBar3 = nullptr;  // band 1: the address bar
  QLabel* Label1 = nullptr;
  QLineEdit* txtAddress = nullptr;
  QPushButton* btnMove = nullptr;
  QWidget* ZBar = nullptr;  // the side bar ("Ｚバー")
  QTreeWidget* TreeView1 = nullptr;
  QToolButton* btnBar = nullptr;
  QWidget* ToolBar1 = nullptr;  // bottom bar
  QStatusBar* StatusBar1 = nullptr;
  QLabel* StatusPanel0 = nullptr;  // the first (and only) panel of StatusBar1
  QProgressBar* ProgressBar1 = nullptr;
  QMdiArea* MDIClient = nullptr;
  QFileDialog* OpenDialog = nullptr;
  // ImageList1: 0 new window, 1 back, 2 forward, 3 stop, 4 reload,
  // 11 folder, 12 link.
  QList<QIcon> ImageList1;

  // Main menu. A menu item bound to an action is that action.
  QMenu* File1 = nullptr;
  QAction* FileNewItem = nullptr;
  QAction* FileOpenItem = nullptr;
  QAction* FileCloseItem = nullptr;
  QAction* mnuFile_SaveAs = nullptr;
  QAction* N1 = nullptr;
  QAction* FileExitItem = nullptr;
  QMenu* mnuEdit = nullptr;
  QAction* mnuEdit_Copy = nullptr;
  QAction* N5 = nullptr;
  QAction* mnuEdit_slrAll = nullptr;
  QMenu* mnuShow = nullptr;
  QMenu* mnuShow_Bar = nullptr;
  QAction* mnuShow_default = nullptr;
  QAction* mnuShow_Address = nullptr;
  QAction* mnuShow_Status = nullptr;
  QAction* mnuShow_Z = nullptr;
  QAction* N2 = nullptr;
  QMenu* mnuShow_Size = nullptr;
  QAction* mnuSize_Max = nullptr;
  QAction* mnuSize_Large = nullptr;
  QAction* mnuSize_middle = nullptr;
  QAction* mnuSize_Small = nullptr;
  QAction* mnuSize_Min = nullptr;
  QMenu* mnuBookMark = nullptr;
  QAction* mnuBMEdit = nullptr;
  QAction* N4 = nullptr;
  QMenu* Tool1 = nullptr;
  QMenu* EngineItem = nullptr;
  QAction* IE_item = nullptr;
  QAction* Moz_Item = nullptr;
  QAction* mnuOption = nullptr;
  QAction* mnuOtherEngine = nullptr;  // after EngineItem
  QAction* mnuCompare = nullptr;
  QAction* mnuEngineRule = nullptr;
  QAction* N7 = nullptr;              // before mnuEdit_Find
  QAction* mnuEdit_Find = nullptr;    // ページ内検索(&F)... (Ctrl+F), the find bar's
  QMenu* mnuSearchEngine = nullptr;   // Tools > 検索エンジン, before mnuOption
  class TFindBar* FindBar = nullptr;  // under the windows, for the active one
  class SearchEngineMenu* SearchEngines = nullptr;
  QAction* N6 = nullptr;  // at the end of mnuBookMark, after the bookmarks
  QAction* mnuBMImport = nullptr;
  QAction* mnuBMExport = nullptr;
  QMenu* Window1 = nullptr;
  QAction* WindowCascadeItem = nullptr;
  QAction* WindowTileItem = nullptr;
  QAction* WindowTileItem2 = nullptr;
  QAction* WindowMinimizeItem = nullptr;
  QAction* WindowArrangeItem = nullptr;
  QMenu* Help1 = nullptr;
  QAction* HelpAboutItem = nullptr;

  // Action list: owns the actions below.
  QObject* ActionList1 = nullptr;
  QAction* FileNew1 = nullptr;
  QAction* FileOpen1 = nullptr;
  QAction* FileClose1 = nullptr;
  QAction* FileExit1 = nullptr;
  QAction* EditCut1 = nullptr;
  QAction* EditCopy1 = nullptr;
  QAction* EditPaste1 = nullptr;
  QAction* WindowCascade1 = nullptr;
  QAction* WindowTileHorizontal1 = nullptr;
  QAction* WindowTileVertical1 = nullptr;
  QAction* WindowMinimizeAll1 = nullptr;
  QAction* WindowArrangeAll1 = nullptr;
  QAction* HelpAbout1 = nullptr;
  // Keyboard actions of the frame (no menu items of their own).
  QAction* AddressFocus1 = nullptr;    // Ctrl+L, Alt+D, F6
  QAction* BrowseBack1 = nullptr;      // Alt+Left
  QAction* BrowseForward1 = nullptr;   // Alt+Right
  QAction* BrowseReload1 = nullptr;    // F5, Ctrl+R
  QAction* BrowseStop1 = nullptr;      // Esc
  QAction* WindowNext1 = nullptr;      // Ctrl+Tab, Ctrl+F6
  QAction* WindowPrevious1 = nullptr;  // Ctrl+Shift+Tab, Ctrl+Shift+F6
  QAction* AddressSearch1 = nullptr;   // Ctrl+K, Ctrl+E

  // ---- state -------------------------------------------------------------
  QString AppPath;       // folder of config.ini, ending in "/"
  int MojiSize = 2;      // current text size, 0 smallest .. 4 largest
  QStringList FUrlList;  // side-bar tree addresses, one per node in pre-order

  QString ConfigPath() const { return AppPath + QStringLiteral("config.ini"); }

  // ---- frame (start-up, close, window commands) --------------------------
  void FormCreate();
  void FormClose();
  void FormResize();
  void FileNew1Execute();
  void FileOpen1Execute();
  // The open dialog's OK: the chosen file in a new window.
  void OpenDialogAccept();
  void FileClose1Execute();
  void FileExit1Execute();
  void HelpAbout1Execute();
  void ToolButton1Click();
  void IE_ItemClick();
  void Moz_ItemClick();
  // Readies the engine the engine menu has checked (see TEngineReadiness).
  void ReadyCheckedEngine();
  void ReadyForGecko();
  void KeepChildrenStackable();
  void mnuOptionClick();
  void WindowCascade1Execute();
  void WindowTileHorizontal1Execute();
  void WindowTileVertical1Execute();
  void WindowMinimizeAll1Execute();
  void WindowArrangeAll1Execute();
  void AddressFocus1Execute();
  void WindowNext1Execute();
  void WindowPrevious1Execute();
  // The frame's own size, position and maximised state across restarts.
  void FramePositionRead();
  void FramePositionWrite();
  // Whether a key whose override a page's widget is asked for stays the frame's.
  bool FrameKeepsKey(QObject* watched, class QKeyEvent* event) const;

  // Child windows in the frame's order and the active one (nullptr if none).
  QList<QMdiSubWindow*> MDIChildren() const;
  int MDIChildCount() const;
  TBrowserChild* ActiveMDIChild() const override;

  // ---- the shared page display, as the children fill it ------------------
  void ShowAddress(const QString& text) override;
  void ShowSecurity(SecurityState state, const QString& text) override;
  void ShowStatus(const QString& text) override;
  int Progress() const override;
  void SetProgress(int position) override;
  bool ButtonEnabled(Button button) const override;
  void SetButtonEnabled(Button button, bool enabled) override;
  void SetPageItemsEnabled(bool enabled) override;
  void SetTextSizeEnabled(bool enabled) override;
  int FrameMojiSize() const override { return MojiSize; }
  // ---- what the options dialog needs of the frame ------------------------
  QObject* OwnerObject() override { return this; }
  QString OwnerAppPath() const override { return AppPath; }
  void SetGeckoItemEnabled(bool on) override;

  // ---- bar layout (main_form_bars.cpp) -----------------------------------
  void BandPositionRead();
  void BandPositionWrite();
  void ViewToolBar();
  void mnuShow_defaultClick();
  void mnuShow_AddressClick();
  void mnuShow_StatusClick();
  void mnuShow_ZClick();
  void ZBarResize();
  void btnBarClick();
  void ZBarMouseUp(QMouseEvent* event);
  void CoolBar1MouseUp();
  // bar-layout additions
  int ZBarWidthLimit() const;  // widest the side bar may be shown
  // The side bar's width as kept (saved, returned to on expanding); what is
  // shown is that width clamped to 11..ZBarWidthLimit().
  int ZBarWidth() const { return zbarWidth_; }
  void SetZBarWidth(int width);
  void ShowZBarWidth();

  // ---- browser children and commands (main_form_browse.cpp) --------------
  void OpenChild(const QString& Caption, const QString& URL);
  void PlaceNewChild(QMdiSubWindow* child);
  void ShowMojiSize(quint8 Size) override;
  QAction* SizeItem(int n) const;
  void ReadMojiSize();
  void BackCtrlClick();
  void FrwrdCtrlClick();
  void StopCtrlClick();
  void ReLoadCtrlClick();
  void btnMoveClick();
  void txtAddressKeyDown(int Key);
  // ---- find and search (main_form_search.cpp) ----------------------------
  // The address box readied for words to search for.
  void AddressSearch1Execute();
  // What the Move command opens for the typed text: the text itself when it
  // is an address, else the chosen search engine's address for it.
  QString AddressToOpen(const QString& typed) const;
  void mnuFile_SaveAsClick();
  void mnuEdit_CopyClick();
  void mnuEdit_slrAllClick();
  void mnuSize_MaxClick();
  void mnuSize_LargeClick();
  void mnuSize_middleClick();
  void mnuSize_SmallClick();
  void mnuSize_MinClick();
  void TextSizeCommand(int n);
  // Makes the child active and runs its activation once per change.
  void ActivateChild(TBrowserChild* child);
  // browser additions
  // ---- both engines (main_form_engines.cpp) ------------------------------
  // OpenChild with the engine given: IE true makes a Tfrm_IE.
  TBrowserChild* OpenChildIn(bool IE, const QString& Caption, const QString& URL, bool Private = false);
  TBrowserChild* OpenPageWindow(bool IE, const QString& Caption, bool Private = false) override;
  // The engine of a new window the user opens at URL: the first engine rule
  // matching it (a Gecko rule only while Gecko is enabled), else the engine
  // menu. A window a page asks for takes the page's engine instead.
  bool NewWindowIsIE(const QString& URL) const;
  bool OtherEngineAvailable(const TBrowserChild* child) const;
  TBrowserChild* OpenInOtherEngine(TBrowserChild* child);
  void mnuOtherEngineClick();
  void mnuCompareClick();
  void mnuEngineRuleClick();
  void EndCompare();
  bool Comparing() const;
  void UpdateEngineItems();

  // ---- bookmarks (main_form_bookmarks.cpp) -------------------------------
  void BuildBookmarkMenu();
  void BuildBookmarkBar();
  void iventMenuClick(QAction* Sender);
  void TreeView1Change(QTreeWidgetItem* Node);
  void mnuBMEditClick();
  // bookmark additions
  QAction* NewBookmarkItem(QMenu* Parent, const QString& Caption, int Index, bool Folder);
  void LoadMenuFolder(const struct BookmarkEntry& Entry, QMenu* Item);
  void OpenBookmark();  // steps shared by menu and side bar: new or active window
  bool BookmarkWantsNewWindow() const;
  // Opens the address of a side-bar node. Passing over a link with the
  // arrow keys opens no new window; a deliberate choice (a click, Enter) does.
  void OpenBarNode(QTreeWidgetItem* Node, bool deliberate);
  // ---- bookmark import and export (main_form_bookmark_io.cpp) -----------
  void mnuBMImportClick();
  void mnuBMExportClick();
  // Appends the bookmarks of the HTML file at Path as a new top-level
  // folder, saves and rebuilds; returns what to tell the user. The menu
  // command reads the file off the UI thread and then gives what it read
  // to the second form.
  QString ImportBookmarks(const QString& Path);
  QString ImportBookmarks(const QString& Path, const bookmarks::HtmlImport& Read);
  void ExportBookmarks(const QString& Path);
  // ---- history and the address box's list (main_form_history.cpp) -------
  QAction* N8 = nullptr;               // before mnuShow_History
  QAction* mnuShow_History = nullptr;  // 表示 > 履歴 (Ctrl+H)
  history::Store* History = nullptr;   // the pages the windows showed
  history::TAddressCompleter* AddressCompleter = nullptr;
  QPointer<history::THistoryWindow> HistoryWindow;
  void mnuShow_HistoryClick();
  // Opens a page the history window chose, as a bookmark opens.
  void OpenFromHistory(const QString& URL);
  // ---- site icons and one-key bookmarking (main_form_icons.cpp) --------
  QAction* mnuBMAdd = nullptr;  // このページをブックマーク(&D) (Ctrl+D), after mnuBMEdit
  QPointer<class Tfrm_BMAdd> BMAddDialog;
  void mnuBMAddClick();
  // Saves a link at the end of the folder at FolderPath (the top level when
  // there is no such folder) as the editor saves, unless the file changed
  // since it was Read; then rebuilds the menu and the side bar.
  void AddBookmark(const QString& Name, const QString& Address, const QList<int>& FolderPath,
                   const std::optional<QByteArray>& Read);
  QIcon BookmarkLinkIcon(const QString& Address) const;
  void ShowBookmarkIcons();  // after a site's icon has been kept
  // ---- sessions (main_form_session.cpp) ----------------------------------
  QAction* mnuFile_Restore = nullptr;    // ファイル > 前回のウィンドウを開く
  QAction* mnuFile_Reopen = nullptr;     // ファイル > 閉じたウィンドウを開き直す (Ctrl+Shift+T)
  QAction* mnuRestoreAtStart = nullptr;  // ツール > 起動時に前回のウィンドウを開く
  QWidget* SessionBar = nullptr;         // shown after a run that did not end cleanly
  session::Store* Session = nullptr;
  void mnuFile_RestoreClick();
  void mnuFile_ReopenClick();
  void mnuRestoreAtStartClick();
  // What the record keeps of the open windows, and of one of them.
  session::Record SessionRecord() const;
  session::Window SessionWindow(const TBrowserChild* child) const;
  TBrowserChild* RestoreWindow(const session::Window& w);
  void WatchSessionChild(TBrowserChild* child);
  // ---- addresses from other programs (main_form_launch.cpp) -------------
  // Each in a new window, as the address box opens it; then to the front.
  void OpenHandedAddresses(const QStringList& addresses);
  // ---- the downloads window (main_form_downloads.cpp) --------------------
  QAction* mnuDownloads = nullptr;  // ツール > ダウンロード (Ctrl+Shift+Y)
  void CreateDownloadItems();
  void mnuDownloadsClick();

  // ---- page zoom, source and developer tools (main_form_zoom.cpp) --------
  QMenu* mnuShow_Zoom = nullptr;      // 表示 > ズーム
  QAction* mnuZoom_In = nullptr;      // 拡大 (Ctrl++, Ctrl+=)
  QAction* mnuZoom_Out = nullptr;     // 縮小 (Ctrl+-)
  QAction* mnuZoom_Reset = nullptr;   // 100% に戻す (Ctrl+0)
  QAction* mnuShow_Source = nullptr;  // 表示 > ページのソース (Ctrl+U)
  QAction* mnuDevTools = nullptr;     // ツール > 開発者ツール (Ctrl+Shift+I)
  QLabel* ZoomPanel = nullptr;        // the active page's level while not 100%
  void mnuShow_SourceClick();
  void mnuDevToolsClick();
  // ---- private windows (main_form_privacy.cpp) ----------------------------
  QAction* FileNewPrivate1 = nullptr;  // ファイル > 新規プライベートウィンドウ (Ctrl+Shift+N)
  QAction* FileNewPrivateItem = nullptr;
  void FileNewPrivate1Execute();
  // ---- cookies, site data, permissions, clearing (main_form_sitedata.cpp)
  QAction* mnuSiteData = nullptr;           // ツール > サイトデータ
  QAction* mnuSiteSettings = nullptr;       // ツール > サイトの設定
  QAction* mnuClearData = nullptr;          // ツール > 閲覧履歴を消去... (Ctrl+Shift+Delete)
  QAction* mnuThirdPartyCookies = nullptr;  // ツール > サードパーティの Cookie を許可
  QPointer<QWidget> SiteDataWindow, SiteSettingsWindow, ClearDataDialog;
  void CreateSiteDataItems();
  void mnuSiteDataClick();
  void mnuSiteSettingsClick();
  void mnuClearDataClick();
  void mnuThirdPartyCookiesClick(bool allow);
  // ---- saved passwords (main_form_passwords.cpp) ---------------------------
  QAction* mnuPasswords = nullptr;  // ツール > パスワード
  QPointer<class TPasswordsForm> PasswordsForm;
  void mnuPasswordsClick();

 signals:
  // The frame has closed; the program ends.
  void Closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  // How long after start-up the checked engine is readied: the frame has
  // painted and is idle by then.
  static constexpr int kReadyAfterMs = 500;
  class TEngineReadiness* Readiness = nullptr;
  void CreateComponents();
  void CreateMenus();
  void CreateEngineItems();
  void CreateBookmarkFileItems();
  void CreateHistoryItems();
  void CreateIconItems();
  void CreatePrivacyItems();
  void CreatePasswordItems();
  void CreateFindAndSearch();
  // sessions
  void CreateSessionItems();
  void StartSession();
  void EndSession();
  void CreateZoomItems();
  void FollowActiveZoom();
  void ShowZoomLevel(int level);
  QMetaObject::Connection zoomWatch_;
  void PrepareChild(TBrowserChild* child);
  // ---- Printing (main_form_print.cpp)
  QAction* mnuFile_Print = nullptr;
  QAction* mnuFile_PrintPreview = nullptr;
  void CreatePrintItems();
  // The page's own print() leads to the window's print dialog.
  void WatchPrinting(TBrowserChild* child);
  void mnuFile_PrintClick();
  void mnuFile_PrintPreviewClick();
  void BindHandlers();
  void UpdateWindowActions();
  void FillWindowMenu();
  void NameComponents();
  QList<QAction*> windowListItems_;
  int zbarWidth_ = 153;
  bool zbarPressed_ = false;  // a button went down on the side bar itself
  bool treeByKey_ = false;    // a key is down in the side-bar tree
  int newWindowIndex_ = 0;    // cascade slot of the next window opened
  QRect normalGeometry_;      // last frame position and size while neither maximised nor minimised
  bool startMaximized_ = false;
  QPointer<QMdiSubWindow> lastActivated_;  // the child whose activation was last handled
  QPointer<QObject> compare_;              // the two windows following each other, while they do
};
