#include "options/option_form.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QStyle>
#include <QTreeWidget>
#include <algorithm>

#include "options/folder_chooser.h"
#include "platform/guarded.h"
#include "platform/ini_file.h"
#include "platform/window_frame.h"

namespace {

template <class W>
W* named(W* w, const char* name) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

// The box's background: an editable field's colour while usable, the
// window's colour while not; both from the palette, so that a dark or
// high-contrast theme keeps the text readable.
void setBackground(QLineEdit* edit, bool usable) {
  QPalette pal = edit->palette();
  const QPalette theme = QApplication::palette(edit);
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
    pal.setColor(group, QPalette::Base, theme.color(group, usable ? QPalette::Base : QPalette::Window));
  edit->setPalette(pal);
}

const QString kMain = QStringLiteral("Option_Main");
const QString kWindow = QStringLiteral("Option_Window");

}  // namespace

Tfrm_Option::Tfrm_Option(TOptionOwner* frame) : QDialog(nullptr), frame_(frame) {
  setObjectName(QStringLiteral("frm_Option"));
  // A window of its own, freed with the frame it works for.
  if (frame_) connect(frame_->OwnerObject(), &QObject::destroyed, this, [this] { delete this; });
  setWindowTitle(QStringLiteral("オプション"));
  // A sizeable window of its own with a title and a close box. Not a tool
  // window: the window system keeps those above the frame, and this one is
  // the application's, not the frame's.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setSizeGripEnabled(false);
  QFont f(QStringLiteral("ＭＳ Ｐゴシック"));
  f.setPixelSize(12);
  setFont(f);
  setGeometry(250, 174, 463, 178);

  TreeView1 = named(new QTreeWidget(this), "TreeView1");
  TreeView1->setGeometry(8, 8, 113, 105);
  TreeView1->setHeaderHidden(true);
  TreeView1->setIndentation(19);
  TreeView1->setRootIsDecorated(false);
  new QTreeWidgetItem(TreeView1, QStringList{QStringLiteral("全般")});
  new QTreeWidgetItem(TreeView1, QStringList{QStringLiteral("ウィンドウ")});

  Panel1 = named(new QFrame(this), "Panel1");
  Panel1->setFrameStyle(QFrame::Box | QFrame::Plain);
  Panel1->setGeometry(136, 8, 305, 105);
  // Page control whose tabs are never shown: the tree picks the page.
  PageCTL = named(new QStackedWidget(Panel1), "PageCTL");
  PageCTL->setGeometry(4, 4, 289, 93);

  TabSheet1 = named(new QWidget(), "TabSheet1");
  chkMoz = named(new QCheckBox(QStringLiteral("Geckoを使用する"), TabSheet1), "chkMoz");
  chkMoz->setGeometry(0, 2, 129, 17);
  txtMozPath = named(new QLineEdit(TabSheet1), "txtMozPath");
  txtMozPath->setGeometry(8, 23, 249, 20);
  BitBtn1 = named(new QPushButton(TabSheet1), "BitBtn1");
  BitBtn1->setGeometry(256, 23, 20, 18);
  BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
  BitBtn1->setIconSize(QSize(16, 15));
  BitBtn1->setAutoDefault(false);
  BitBtn1->setToolTip(QStringLiteral("参照"));
  PageCTL->addWidget(TabSheet1);

  TabSheet2 = named(new QWidget(), "TabSheet2");
  Label1 = named(new QLabel(QStringLiteral("自動的に新規ウインドウで開く"), TabSheet2), "Label1");
  Label1->move(0, 0);
  Label1->adjustSize();
  chkWin1 = named(new QCheckBox(QStringLiteral("ブックマーク"), TabSheet2), "chkWin1");
  chkWin1->setGeometry(32, 24, 97, 17);
  chkWin2 = named(new QCheckBox(QStringLiteral("アドレスバー"), TabSheet2), "chkWin2");
  chkWin2->setGeometry(32, 48, 81, 17);
  PageCTL->addWidget(TabSheet2);

  Button1 = named(new QPushButton(QStringLiteral("OK"), this), "Button1");
  Button1->setGeometry(312, 122, 65, 23);
  Button1->setAutoDefault(false);
  Button2 = named(new QPushButton(QStringLiteral("Cancel"), this), "Button2");
  Button2->setGeometry(390, 122, 59, 23);
  Button2->setAutoDefault(false);

  selectFolder = new TSHBrowseForFolderEx(this);
  selectFolder->setObjectName(QStringLiteral("selectFolder"));
  selectFolder->Caption = QStringLiteral("Mozillaのあるフォルダを選択してください。");

  connect(TreeView1, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* node, QTreeWidgetItem*) { guarded::run([&] { TreeView1Change(node); }); });
  // Bound to the change of the mark, so that the mouse, the keyboard and an
  // assistive technology's toggle all run the handler, once each. The
  // dialog's own marking (ReadIni) runs it explicitly instead.
  connect(chkMoz, &QCheckBox::toggled, this, [this] { guarded::run([this] { chkMozClick(); }); });
  connect(chkWin1, &QCheckBox::toggled, this, [this] { guarded::run([this] { chkWin1Click(); }); });
  connect(chkWin2, &QCheckBox::toggled, this, [this] { guarded::run([this] { chkWin2Click(); }); });
  connect(BitBtn1, &QPushButton::clicked, this, [this] { guarded::run([this] { BitBtn1Click(); }); });
  connect(selectFolder, &TSHBrowseForFolderEx::Finished, this,
          [this](bool chosen) { guarded::run([&] { selectFolderFinished(chosen); }); });
  connect(Button1, &QPushButton::clicked, this, [this] { guarded::run([this] { Button1Click(); }); });
  connect(Button2, &QPushButton::clicked, this, [this] { guarded::run([this] { Button2Click(); }); });

  // Captions name themselves; the rest are named after their purpose.
  TreeView1->setAccessibleName(QStringLiteral("ページ"));
  TreeView1->setHeaderLabel(TreeView1->accessibleName());
  txtMozPath->setAccessibleName(QStringLiteral("Geckoのフォルダ"));
  txtMozPath->setAccessibleDescription(QStringLiteral("Mozillaのあるフォルダ"));
  BitBtn1->setAccessibleName(QStringLiteral("参照"));
  BitBtn1->setAccessibleDescription(selectFolder->Caption);
  Panel1->setAccessibleName(QStringLiteral("設定"));
  TabSheet1->setAccessibleName(QStringLiteral("全般"));
  TabSheet2->setAccessibleName(QStringLiteral("ウィンドウ"));
  for (QCheckBox* box : {chkWin1, chkWin2}) box->setAccessibleDescription(Label1->text());

  guarded::run([this] { FormCreate(); });
}

int Tfrm_Option::Tag(const QCheckBox* box) { return box->property("Tag").toInt(); }

void Tfrm_Option::FormCreate() {
  AppPath = frame_ ? frame_->OwnerAppPath() : QString();
  ReadIni();
  // Tabs are hidden: a stacked widget has none. The first node shows "全般".
  TreeView1->setCurrentItem(TreeView1->topLevelItem(0));
}

void Tfrm_Option::ReadIni() {
  const IniFile ini(AppPath + QStringLiteral("config.ini"));
  const auto mark = [](QCheckBox* box, bool on) {
    const QSignalBlocker quiet(box);
    box->setChecked(on);
  };
  mark(chkMoz, ini.ReadInteger(kMain, QStringLiteral("Mozilla"), 0) != 0);
  chkMozClick();
  txtMozPath->setText(ini.ReadString(kMain, QStringLiteral("MozPath"), QString()));
  mark(chkWin1, ini.ReadInteger(kWindow, QStringLiteral("BookMark"), 0) != 0);
  chkWin1Click();
  mark(chkWin2, ini.ReadInteger(kWindow, QStringLiteral("AddressBar"), 0) != 0);
  chkWin2Click();
}

void Tfrm_Option::TreeView1Change(QTreeWidgetItem* Node) {
  if (!Node) return;
  if (Node->text(0) == QStringLiteral("全般"))
    PageCTL->setCurrentWidget(TabSheet1);
  else if (Node->text(0) == QStringLiteral("ウィンドウ"))
    PageCTL->setCurrentWidget(TabSheet2);
}

void Tfrm_Option::chkMozClick() {
  const bool on = chkMoz->isChecked();
  chkMoz->setProperty("Tag", on ? 1 : 0);
  txtMozPath->setEnabled(on);
  setBackground(txtMozPath, on);
  BitBtn1->setEnabled(on);
  if (frame_) frame_->SetGeckoItemEnabled(on);
}

void Tfrm_Option::chkWin1Click() { chkWin1->setProperty("Tag", chkWin1->isChecked() ? 1 : 0); }

void Tfrm_Option::chkWin2Click() { chkWin2->setProperty("Tag", chkWin2->isChecked() ? 1 : 0); }

void Tfrm_Option::BitBtn1Click() {
  // Not waited for: the chooser is modal to this dialog only, and whatever
  // pressed the button (an assistive technology too) gets its answer at once.
  selectFolder->Open();
}

void Tfrm_Option::selectFolderFinished(bool chosen) {
  if (chosen) txtMozPath->setText(selectFolder->SelectedPath());
}

void Tfrm_Option::Button1Click() {
  // A refused write ends here: the dialog stays open with what the user chose.
  IniFile ini(AppPath + QStringLiteral("config.ini"));
  ini.WriteString(kMain, QStringLiteral("MozPath"), txtMozPath->text());
  ini.WriteInteger(kMain, QStringLiteral("Mozilla"), Tag(chkMoz));
  ini.WriteInteger(kWindow, QStringLiteral("BookMark"), Tag(chkWin1));
  ini.WriteInteger(kWindow, QStringLiteral("AddressBar"), Tag(chkWin2));
  close();
}

void Tfrm_Option::Button2Click() { close(); }

void Tfrm_Option::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // 463 x 178 at 250, 174 is the outer size and place, frame included; the
  // first show puts it there, later shows keep where the user left it.
  if (!placed_) window_frame::placeByFrame(this, [](const QMargins&) { return QRect(250, 174, 463, 178); });
  placed_ = true;
}

void Tfrm_Option::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (!Button1) return;
  // The buttons keep their designed place while there is room below them;
  // under a tall title bar the client area is lower, and they move up (the
  // tree and the page panel end above them) so that they stay inside.
  const int buttonTop = std::min(122, height() - Button1->height() - 6);
  Button1->move(Button1->x(), buttonTop);
  Button2->move(Button2->x(), buttonTop);
  const int pageHeight = std::clamp(buttonTop - 9 - TreeView1->y(), 0, 105);
  TreeView1->resize(TreeView1->width(), pageHeight);
  Panel1->resize(Panel1->width(), pageHeight);
  PageCTL->resize(PageCTL->width(), std::max(0, pageHeight - 12));
}
