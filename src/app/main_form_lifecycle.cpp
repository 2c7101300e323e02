// Start-up, close, and the frame's own position and events.

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

#include "app/app_path.h"
#include "app/main_form.h"
#include "app/window_arrange.h"
#include "bookmarks/bookmark_file.h"
#include "browser/engine_readiness.h"
#include "platform/atomic_file.h"
#include "platform/guarded.h"
#include "platform/ini_file.h"

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
  // The windows of the last run: reopened, or offered after an unclean end.
  StartSession();
}

void TMainForm::ReadyCheckedEngine() {
  if (IE_item->isChecked())
    Readiness->ready(true);
  else if (Moz_Item->isChecked() && Moz_Item->isEnabled())
    ReadyForGecko();
}

void TMainForm::ReadyForGecko() {
  // A Gecko window embeds a native window, which makes the client area and
  // its ancestors native too. Made now, while the frame is idle, their first
  // paint is not the first window's.
  MDIClient->viewport()->winId();
  Readiness->ready(false);
}

void TMainForm::FormClose() {
  // The open windows are recorded as they are before anything else goes.
  EndSession();
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
