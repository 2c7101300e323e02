// Bar layout and view settings of the frame.
#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include "app/band_layout.h"
#include "app/cool_bar.h"
#include "app/main_form.h"
#include "platform/ini_file.h"

namespace {
const QString kBar = QStringLiteral("Bar");
QString bandKey(int pos, const char* what) { return QStringLiteral("Band%1%2").arg(pos).arg(QLatin1String(what)); }
}  // namespace

int TMainForm::ZBarWidthLimit() const {
  // Room for at least a strip of the client area beside the side bar.
  int room = 0;
  if (centralWidget() && centralWidget()->width() > 0 && isVisible())
    room = centralWidget()->width();
  else if (const QScreen* s = QGuiApplication::primaryScreen())
    room = s->availableGeometry().width();
  return room - 40;
}

void TMainForm::SetZBarWidth(int width) { ZBar->setFixedWidth(zbarWidth(width, ZBarWidthLimit())); }

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
    const int tag = ini.ReadInteger(kBar, QStringLiteral("ZBarMax"), 0);
    btnBar->setProperty("Tag", tag <= 0 ? 0 : zbarWidth(tag, ZBarWidthLimit()));
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
    ini.WriteInteger(kBar, bandKey(pos, "Width"), CoolBar1->bandBar(pos)->width());
    ini.WriteBool(kBar, bandKey(pos, "Break"), CoolBar1->bandBreak(pos));
  }
  ini.WriteBool(kBar, QStringLiteral("ToolBar"), mnuShow_default->isChecked());
  ini.WriteBool(kBar, QStringLiteral("AddressBar"), mnuShow_Address->isChecked());
  ini.WriteBool(kBar, QStringLiteral("StatusBar"), mnuShow_Status->isChecked());
  ini.WriteBool(kBar, QStringLiteral("ZBar"), mnuShow_Z->isChecked());
  ini.WriteInteger(kBar, QStringLiteral("ZBarSize"), ZBar->width());
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
    btnBar->setProperty("Tag", ZBar->width());
    SetZBarWidth(kZBarCollapsedWidth);
  } else {
    SetZBarWidth(tag);
    btnBar->setProperty("Tag", 0);
  }
  btnBar->setArrowType(btnBar->property("Tag").toInt() == 0 ? Qt::LeftArrow : Qt::RightArrow);
}

void TMainForm::ZBarMouseUp(QMouseEvent* event) {
  // The release point is where the bar's right edge goes; the tag stays.
  SetZBarWidth(static_cast<int>(event->position().x()));
}

void TMainForm::CoolBar1MouseUp() {
  txtAddress->resize(ToolBar3->width() - btnMove->width() - Label1->width(), txtAddress->height());
}
