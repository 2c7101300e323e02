// Bar layout and view settings of the frame.
#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>

#include "app/band_layout.h"
#include "app/cool_bar.h"
#include "app/main_form.h"
#include "platform/ini_file.h"

namespace {
const QString kBar = QStringLiteral("Bar");
QString bandKey(int pos, const char* what) { return QStringLiteral("Band%1%2").arg(pos).arg(QLatin1String(what)); }
}  // namespace

int TMainForm::ZBarWidthLimit() const {
  // The client area beside the side bar keeps at least its minimum width.
  int room = 0;
  if (centralWidget() && centralWidget()->width() > 0 && isVisible())
    room = centralWidget()->width();
  else if (const QScreen* s = QGuiApplication::primaryScreen())
    room = s->availableGeometry().width();
  return room - std::max(40, MDIClient->minimumWidth());
}

void TMainForm::SetZBarWidth(int width) {
  // No wider than every screen together: beyond that a width means nothing.
  int widest = 0;
  for (const QScreen* s : QGuiApplication::screens()) widest = std::max(widest, s->virtualGeometry().width());
  zbarWidth_ = std::clamp(width, kZBarCollapsedWidth, std::max({kZBarCollapsedWidth, widest, ZBarWidthLimit()}));
  ShowZBarWidth();
}

void TMainForm::ShowZBarWidth() {
  const int shown = zbarWidth(zbarWidth_, ZBarWidthLimit());
  if (ZBar->width() != shown || ZBar->minimumWidth() != shown) ZBar->setFixedWidth(shown);
}

void TMainForm::BandPositionRead() {
  int ids[2], widths[2];
  bool breaks[2];
  {
    const IniFile ini(ConfigPath());
    for (int pos = 0; pos < 2; ++pos) {
      ids[pos] = ini.ReadInteger(kBar, bandKey(pos, "ID"), pos);
      widths[pos] = ini.ReadInteger(kBar, bandKey(pos, "Width"), BandLayout::kDefaultWidth);
      breaks[pos] = ini.ReadBool(kBar, bandKey(pos, "Break"), true);
    }
    mnuShow_default->setChecked(ini.ReadBool(kBar, QStringLiteral("ToolBar"), true));
    mnuShow_Address->setChecked(ini.ReadBool(kBar, QStringLiteral("AddressBar"), true));
    mnuShow_Status->setChecked(ini.ReadBool(kBar, QStringLiteral("StatusBar"), true));
    mnuShow_Z->setChecked(ini.ReadBool(kBar, QStringLiteral("ZBar"), true));
    SetZBarWidth(ini.ReadInteger(kBar, QStringLiteral("ZBarSize"), 153));
    // The width to return to is kept whole, however narrow the frame.
    const int tag = ini.ReadInteger(kBar, QStringLiteral("ZBarMax"), 0);
    btnBar->setProperty("Tag", tag <= 0 ? 0 : std::max(tag, kZBarCollapsedWidth));
  }
  CoolBar1->BeginUpdate();
  for (int pos = 0; pos < CoolBar1->bandCount() && pos < 2; ++pos) {
    CoolBar1->moveBand(ids[pos], pos);
    CoolBar1->setBandBreak(pos, breaks[pos]);
    CoolBar1->setBandWidth(pos, widths[pos]);
  }
  CoolBar1->EndUpdate();
  btnBar->setArrowType(btnBar->property("Tag").toInt() == 0 ? Qt::LeftArrow : Qt::RightArrow);
}

void TMainForm::BandPositionWrite() {
  IniFile ini(ConfigPath());
  for (int pos = 0; pos < CoolBar1->bandCount() && pos < 2; ++pos) {
    ini.WriteInteger(kBar, bandKey(pos, "ID"), CoolBar1->bandId(pos));
    // The width the band was given, not what its row stretched it to.
    ini.WriteInteger(kBar, bandKey(pos, "Width"), CoolBar1->bandWidth(pos));
    ini.WriteBool(kBar, bandKey(pos, "Break"), CoolBar1->bandBreak(pos));
  }
  ini.WriteBool(kBar, QStringLiteral("ToolBar"), mnuShow_default->isChecked());
  ini.WriteBool(kBar, QStringLiteral("AddressBar"), mnuShow_Address->isChecked());
  ini.WriteBool(kBar, QStringLiteral("StatusBar"), mnuShow_Status->isChecked());
  ini.WriteBool(kBar, QStringLiteral("ZBar"), mnuShow_Z->isChecked());
  ini.WriteInteger(kBar, QStringLiteral("ZBarSize"), ZBarWidth());
  ini.WriteInteger(kBar, QStringLiteral("ZBarMax"), btnBar->property("Tag").toInt());
}

void TMainForm::ViewToolBar() {
  if (!mnuShow_default->isChecked()) ToolBar2->hide();
  if (!mnuShow_Address->isChecked()) ToolBar3->hide();
  if (!mnuShow_Status->isChecked()) ToolBar1->hide();
  if (!mnuShow_Z->isChecked()) ZBar->hide();
}

namespace {
// A checked item becomes unchecked and its bar is hidden, and the reverse.
void toggle(QAction* item, QWidget* bar) {
  item->setChecked(!item->isChecked());
  bar->setVisible(item->isChecked());
}
}  // namespace

void TMainForm::mnuShow_defaultClick() { toggle(mnuShow_default, ToolBar2); }
void TMainForm::mnuShow_AddressClick() { toggle(mnuShow_Address, ToolBar3); }
void TMainForm::mnuShow_StatusClick() { toggle(mnuShow_Status, ToolBar1); }
void TMainForm::mnuShow_ZClick() { toggle(mnuShow_Z, ZBar); }

void TMainForm::ZBarResize() {
  TreeView1->setGeometry(0, 0, std::max(0, ZBar->width() - 10), ZBar->height());
  btnBar->setGeometry(TreeView1->width(), 0, 8, ZBar->height());
}

void TMainForm::btnBarClick() {
  const int tag = btnBar->property("Tag").toInt();
  if (tag == 0) {
    btnBar->setProperty("Tag", ZBarWidth());
    SetZBarWidth(kZBarCollapsedWidth);
  } else {
    SetZBarWidth(tag);
    btnBar->setProperty("Tag", 0);
  }
  btnBar->setArrowType(btnBar->property("Tag").toInt() == 0 ? Qt::LeftArrow : Qt::RightArrow);
}

void TMainForm::ZBarMouseUp(QMouseEvent* event) {
  // The release point is where the bar's right edge goes, within the
  // frame; the tag stays.
  SetZBarWidth(zbarWidth(static_cast<int>(event->position().x()), ZBarWidthLimit()));
}

void TMainForm::CoolBar1MouseUp() {
  txtAddress->resize(ToolBar3->width() - btnMove->width() - Label1->width(), txtAddress->height());
}
