// The frame's browser windows and the browsing commands that act on the
// active one.
#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QStyle>
#include <algorithm>

#include "app/main_form.h"
#include "app/window_arrange.h"
#include "browser/browser_child.h"
#include "engine/engine_control.h"
#include "history/history_recorder.h"
#include "platform/errors.h"
#include "platform/ini_file.h"

void TMainForm::OpenChild(const QString& Caption, const QString& URL) { OpenChildIn(NewWindowIsIE(URL), Caption, URL); }

TBrowserChild* TMainForm::OpenChildIn(bool IE, const QString& Caption, const QString& URL, bool Private) {
  TBrowserChild* child = OpenPageWindow(IE, Caption, Private);
  child->Control()->Navigate(URL);
  return child;
}

TBrowserChild* TMainForm::OpenPageWindow(bool IE, const QString& Caption, bool Private) {
  QString mozPath;
  int mozilla = 0;
  {
    const IniFile ini(ConfigPath());
    mozPath = ini.ReadString(QStringLiteral("Option"), QStringLiteral("MozPath"), QString());
    mozilla = ini.ReadInteger(QStringLiteral("Option"), QStringLiteral("Mozilla"), 0);
  }
  if ((mozilla & 0xFF) == 1 && !QDir::setCurrent(mozPath))
    throw EInOutError(QStringLiteral("%1 に移動できません").arg(mozPath));

  TBrowserChild* child = nullptr;
  if (IE) {
    auto* ie = new Tfrm_IE(this, Private);
    child = ie;
    MDIClient->addSubWindow(ie);
    PlaceNewChild(ie);
    PrepareChild(ie);
    ie->FormCreate();
  } else {
    auto* mz = new Tfrm_MZ(this, Private);
    child = mz;
    MDIClient->addSubWindow(mz);
    PlaceNewChild(mz);
    PrepareChild(mz);
    mz->FormCreate();
    mz->show();
  }
  KeepChildrenStackable();
  WatchSessionChild(child);  // sessions
  ActivateChild(child);
  child->SetCaption(Caption);
  return child;
}

void TMainForm::KeepChildrenStackable() {
  // An embedded Gecko window makes its ancestors native (the frame does not
  // let that spread to their neighbours, each native window being a flush
  // and a buffer of its own), and the windows beside it in the client area
  // must then be native too to stack above or below it.
  const QList<QMdiSubWindow*> all = MDIClient->subWindowList();
  const bool gecko = std::any_of(all.cbegin(), all.cend(), [](QMdiSubWindow* w) {
    const auto* c = qobject_cast<TBrowserChild*>(w);
    return c && !c->IsIE();
  });
  if (gecko)
    for (QMdiSubWindow* w : all) w->winId();
}

void TMainForm::PlaceNewChild(QMdiSubWindow* child) {
  // Cascading from the top left of what the client area shows; the first
  // window after all were closed starts there again.
  if (MDIChildCount() <= 1) newWindowIndex_ = 0;
  const QRect area = MDIClient->viewport()->rect();
  const int step = style()->pixelMetric(QStyle::PM_TitleBarHeight) + 4;
  child->setGeometry(arrange::newWindowSlot(area, area.size() * 3 / 4, step, newWindowIndex_++));
  // The window's own menu would claim the close keys too, and a key with
  // two owners does nothing; the frame's File > Close has them.
  if (QMenu* menu = child->systemMenu())
    for (QAction* a : menu->actions()) {
      QList<QKeySequence> keys = a->shortcuts();
      if (keys.removeIf([this](const QKeySequence& k) { return FileClose1->shortcuts().contains(k); }) > 0)
        a->setShortcuts(keys);
    }
}

// The size menu's entry for text size 0..4, or nullptr for other values.
QAction* TMainForm::SizeItem(int n) const {
  const QList<QAction*> items = {mnuSize_Min, mnuSize_Small, mnuSize_middle, mnuSize_Large, mnuSize_Max};
  return n >= 0 && n < items.size() ? items[n] : nullptr;
}

void TMainForm::ShowMojiSize(quint8 Size) {
  for (QAction* a : mnuShow_Size->actions()) a->setChecked(false);
  if (QAction* item = SizeItem(Size)) item->setChecked(true);
}

void TMainForm::ReadMojiSize() {
  const int stored = IniFile(ConfigPath()).ReadInteger(QStringLiteral("General"), QStringLiteral("LastMojiSize"), 2);
  const quint8 n = static_cast<quint8>(stored & 0xFF);
  if (QAction* item = SizeItem(n)) item->setChecked(true);
  MojiSize = n;
}

void TMainForm::BackCtrlClick() {
  if (TBrowserChild* c = ActiveMDIChild()) c->Control()->GoBack();
}

void TMainForm::FrwrdCtrlClick() {
  if (TBrowserChild* c = ActiveMDIChild()) c->Control()->GoForward();
}

void TMainForm::StopCtrlClick() {
  if (TBrowserChild* c = ActiveMDIChild()) c->Control()->Stop();
}

void TMainForm::ReLoadCtrlClick() {
  if (TBrowserChild* c = ActiveMDIChild()) c->Control()->Refresh();
}

void TMainForm::btnMoveClick() {
  history::expectReached(txtAddress->text(), QStringLiteral("typed"));
  int value = IniFile(ConfigPath()).ReadInteger(QStringLiteral("Option_Window"), QStringLiteral("AddressBar"), 0);
  TBrowserChild* active = ActiveMDIChild();
  if (MDIChildCount() == 0 || !active) value = 1;
  const QString address = AddressToOpen(txtAddress->text());
  if ((value & 0xFF) == 1)
    OpenChild(QString(), address);
  else
    active->Control()->Navigate(address);
}

void TMainForm::txtAddressKeyDown(int Key) {
  if (Key == 13) btnMoveClick();
}

void TMainForm::mnuFile_SaveAsClick() {
  TBrowserChild* c = ActiveMDIChild();
  if (!c) return;
  c->Control()->ExecWB(OLECMDID_SAVEAS, c->IsIE() ? OLECMDEXECOPT_PROMPTUSER : OLECMDEXECOPT_DODEFAULT);
}

void TMainForm::mnuEdit_CopyClick() {
  if (TBrowserChild* c = ActiveMDIChild()) c->Control()->ExecWB(OLECMDID_COPY, OLECMDEXECOPT_DODEFAULT);
}

void TMainForm::mnuEdit_slrAllClick() {
  if (TBrowserChild* c = ActiveMDIChild()) c->Control()->ExecWB(OLECMDID_SELECTALL, OLECMDEXECOPT_DODEFAULT);
}

void TMainForm::TextSizeCommand(int n) {
  auto* ie = qobject_cast<Tfrm_IE*>(ActiveMDIChild());
  if (!ie) return;
  if (ie->Control()->Busy()) return;
  MojiSize = n;
  ie->ChildMojiSize = static_cast<quint8>(n);
  ie->Control()->ExecWB(OLECMDID_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, n);
  ShowMojiSize(static_cast<quint8>(n));
}

void TMainForm::mnuSize_MaxClick() { TextSizeCommand(4); }
void TMainForm::mnuSize_LargeClick() { TextSizeCommand(3); }
void TMainForm::mnuSize_middleClick() { TextSizeCommand(2); }
void TMainForm::mnuSize_SmallClick() { TextSizeCommand(1); }
void TMainForm::mnuSize_MinClick() { TextSizeCommand(0); }
