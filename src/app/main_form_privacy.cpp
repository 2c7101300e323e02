// Private windows: ファイル > 新規プライベートウィンドウ. Such a window's
// engine keeps its pages' data in memory only, and the window says so in
// its caption and icon (browser_child.cpp).
#include <QAction>
#include <QMenu>

#include "app/frame_widgets.h"
#include "app/main_form.h"
#include "browser/browser_child.h"
#include "platform/guarded.h"
#include "privacy/private_icon.h"

using namespace frame_widgets;

void TMainForm::CreatePrivacyItems() {
  FileNewPrivate1 = newAction(ActionList1, "FileNewPrivate1", QStringLiteral("新規プライベートウィンドウ(&P)"),
                              QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
  FileNewPrivate1->setProperty("Category", QStringLiteral("ファイル"));
  FileNewPrivate1->setIcon(privacy::privateWindowIcon());
  FileNewPrivate1->setStatusTip(QStringLiteral("閲覧の記録を残さないウィンドウを開きます"));
  // Right after 新規作成, before 開く.
  FileNewPrivateItem = boundItem(File1, "FileNewPrivateItem", FileNewPrivate1);
  File1->removeAction(FileNewPrivateItem);
  File1->insertAction(FileOpenItem, FileNewPrivateItem);
  FileNewPrivateItem->setIcon(FileNewPrivate1->icon());
  addAction(FileNewPrivate1);
  connect(FileNewPrivate1, &QAction::triggered, this, guarded::handler(this, &TMainForm::FileNewPrivate1Execute));
}

void TMainForm::FileNewPrivate1Execute() {
  // The checked engine, with the blank page a new window of it starts at.
  if (IE_item->isChecked())
    OpenChildIn(true, QStringLiteral("Internet Explorer"), QString(), true);
  else
    OpenChildIn(false, QStringLiteral("Gecko"), QStringLiteral("about:blank"), true);
}
