#include "sitedata/site_settings_window.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "page/permission_rules.h"
#include "page/permissions.h"
#include "platform/guarded.h"

namespace sitedata {

namespace {
constexpr int kKindRole = Qt::UserRole + 1;
}

TSiteSettingsWindow::TSiteSettingsWindow(QWidget* parent) : QDialog(parent, Qt::Window) {
  setObjectName(QStringLiteral("frmSiteSettings"));
  setWindowTitle(QStringLiteral("サイトの設定"));
  setAttribute(Qt::WA_DeleteOnClose);
  resize(600, 380);
  auto* layout = new QVBoxLayout(this);
  tvSettings = new QTreeWidget(this);
  tvSettings->setObjectName(QStringLiteral("tvSettings"));
  tvSettings->setAccessibleName(QStringLiteral("記憶している許可の一覧"));
  tvSettings->setRootIsDecorated(false);
  tvSettings->setSelectionMode(QAbstractItemView::ExtendedSelection);
  tvSettings->setHeaderLabels({QStringLiteral("サイト"), QStringLiteral("許可の種類"), QStringLiteral("設定")});
  tvSettings->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  tvSettings->setColumnWidth(1, 220);
  layout->addWidget(tvSettings, 1);
  auto* buttons = new QDialogButtonBox(this);
  btnAllow = buttons->addButton(QStringLiteral("許可にする"), QDialogButtonBox::ActionRole);
  btnAllow->setObjectName(QStringLiteral("btnAllow"));
  btnBlock = buttons->addButton(QStringLiteral("ブロックにする"), QDialogButtonBox::ActionRole);
  btnBlock->setObjectName(QStringLiteral("btnBlock"));
  btnRemove = buttons->addButton(QStringLiteral("削除"), QDialogButtonBox::ActionRole);
  btnRemove->setObjectName(QStringLiteral("btnRemove"));
  QPushButton* close = buttons->addButton(QStringLiteral("閉じる"), QDialogButtonBox::RejectRole);
  layout->addWidget(buttons);
  auto enable = [this] {
    const bool any = !tvSettings->selectedItems().isEmpty();
    for (QPushButton* b : {btnAllow, btnBlock, btnRemove}) b->setEnabled(any);
  };
  connect(tvSettings, &QTreeWidget::itemSelectionChanged, this, enable);
  connect(btnAllow, &QPushButton::clicked, this, [this] { guarded::run([&] { SetSelected(true); }); });
  connect(btnBlock, &QPushButton::clicked, this, [this] { guarded::run([&] { SetSelected(false); }); });
  connect(btnRemove, &QPushButton::clicked, this, guarded::handler(this, &TSiteSettingsWindow::RemoveSelected));
  connect(close, &QPushButton::clicked, this, &QDialog::close);
  Reload();
  enable();
}

void TSiteSettingsWindow::Reload() {
  tvSettings->clear();
  for (const PermissionMemory::Kept& k : PagePermissions::memory().kept()) {
    auto* item = new QTreeWidgetItem(tvSettings, {k.origin, permissionWhat(k.kind),
                                                  k.allowed ? QStringLiteral("許可") : QStringLiteral("ブロック")});
    item->setData(1, kKindRole, permissionKindName(k.kind));
  }
}

void TSiteSettingsWindow::SetSelected(bool allowed) {
  for (QTreeWidgetItem* item : tvSettings->selectedItems())
    if (const auto kind = permissionKindFromName(item->data(1, kKindRole).toString()))
      PagePermissions::memory().keep(item->text(0), *kind, allowed);
  Reload();
}

void TSiteSettingsWindow::RemoveSelected() {
  for (QTreeWidgetItem* item : tvSettings->selectedItems())
    if (const auto kind = permissionKindFromName(item->data(1, kKindRole).toString()))
      PagePermissions::memory().forget(item->text(0), *kind);
  Reload();
}

}  // namespace sitedata
