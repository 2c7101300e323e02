// The frame's commands, its MDI children, the window menu and arrangement.

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
#include "app/forms.h"
#include "app/main_form.h"
#include "app/window_arrange.h"
#include "browser/browser_child.h"
#include "engine/engine_control.h"
#include "platform/guarded.h"

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
  if (mnuBMAdd) mnuBMAdd->setEnabled(MDIClient->currentSubWindow() != nullptr);
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
    if (child && child->IsPrivate()) a->setIcon(child->windowIcon());
    a->setCheckable(true);
    a->setChecked(w == MDIClient->currentSubWindow());
    // A window showing its site's icon shows it here too.
    if (w->testAttribute(Qt::WA_SetWindowIcon)) a->setIcon(w->windowIcon());
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
