// ツール > ダウンロード: the downloads window at any time, not only while
// something downloads.
#include <QAction>
#include <QMenu>

#include "app/main_form.h"
#include "page/downloads.h"
#include "platform/guarded.h"

void TMainForm::CreateDownloadItems() {
  mnuDownloads = new QAction(QStringLiteral("ダウンロード(&D)"), this);
  mnuDownloads->setObjectName(QStringLiteral("mnuDownloads"));
  mnuDownloads->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Y));
  Tool1->insertAction(mnuOption, mnuDownloads);
  // The key works with the menu bar hidden, too.
  addAction(mnuDownloads);
  connect(mnuDownloads, &QAction::triggered, this, guarded::handler(this, &TMainForm::mnuDownloadsClick));
}

void TMainForm::mnuDownloadsClick() { DownloadManager::instance()->showWindow(); }
