#include "sitedata/site_data_window.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "engine/webengine_side.h"
#include "platform/guarded.h"
#include "sitedata/site_data_engines.h"

namespace sitedata {

namespace {
QString kindsText(const QStringList& kinds) {
  static const QList<std::pair<const char*, const char*>> kNames = {
      {"cookies", "Cookie"},
      {"local-storage", "ローカル ストレージ"},
      {"session-storage", "セッション ストレージ"},
      {"indexeddb", "IndexedDB"},
      {"service-workers", "Service Worker"},
      {"dom-cache", "Cache Storage"},
      {"cache", "キャッシュ"},
  };
  QStringList out;
  for (const auto& [key, name] : kNames)
    if (kinds.contains(QLatin1String(key))) out << QString::fromUtf8(name);
  if (out.isEmpty() && !kinds.isEmpty()) out << QStringLiteral("その他");
  return out.join(QStringLiteral("、"));
}
}  // namespace

TSiteDataWindow::TSiteDataWindow(QWidget* parent) : QDialog(parent, Qt::Window) {
  setObjectName(QStringLiteral("frmSiteData"));
  setWindowTitle(QStringLiteral("サイトデータ"));
  setAttribute(Qt::WA_DeleteOnClose);
  resize(620, 420);
  auto* layout = new QVBoxLayout(this);
  tvSites = new QTreeWidget(this);
  tvSites->setObjectName(QStringLiteral("tvSites"));
  tvSites->setAccessibleName(QStringLiteral("サイトの一覧"));
  tvSites->setRootIsDecorated(false);
  tvSites->setSelectionMode(QAbstractItemView::ExtendedSelection);
  tvSites->setHeaderLabels({QStringLiteral("サイト"), QStringLiteral("保存されているデータ"), QStringLiteral("量")});
  tvSites->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  tvSites->setColumnWidth(1, 220);
  layout->addWidget(tvSites, 1);
  lblNote =
      new QLabel(QStringLiteral("Internet Explorer エンジンのデータは、サイトごとには Cookie だけを削除します。"
                                "ローカル ストレージなどのほかのデータは「すべて削除」で、そのエンジンのウィンドウが"
                                "開いていないときに削除されます。"),
                 this);
  lblNote->setWordWrap(true);
  layout->addWidget(lblNote);
  auto* buttons = new QDialogButtonBox(this);
  btnDelete = buttons->addButton(QStringLiteral("削除"), QDialogButtonBox::ActionRole);
  btnDelete->setObjectName(QStringLiteral("btnDelete"));
  btnDeleteAll = buttons->addButton(QStringLiteral("すべて削除"), QDialogButtonBox::ActionRole);
  btnDeleteAll->setObjectName(QStringLiteral("btnDeleteAll"));
  QPushButton* close = buttons->addButton(QStringLiteral("閉じる"), QDialogButtonBox::RejectRole);
  layout->addWidget(buttons);
  btnDelete->setEnabled(false);
  connect(tvSites, &QTreeWidget::itemSelectionChanged, this,
          [this] { btnDelete->setEnabled(!tvSites->selectedItems().isEmpty()); });
  connect(btnDelete, &QPushButton::clicked, this, guarded::handler(this, &TSiteDataWindow::DeleteSelected));
  connect(btnDeleteAll, &QPushButton::clicked, this, guarded::handler(this, &TSiteDataWindow::DeleteAll));
  connect(close, &QPushButton::clicked, this, &QDialog::close);
  // Cookies set or deleted meanwhile show up, a moment later in one go.
  auto* later = new QTimer(this);
  later->setSingleShot(true);
  later->setInterval(300);
  connect(later, &QTimer::timeout, this, guarded::handler(this, &TSiteDataWindow::Reload));
  connect(webengine_side::get().cookieNotifier(), SIGNAL(changed()), later, SLOT(start()));
  Reload();
}

void TSiteDataWindow::Reload() {
  ++loading_;
  QPointer<TSiteDataWindow> self(this);
  fetchSites([self](const QList<SiteRow>& rows) {
    if (!self) return;
    --self->loading_;
    self->fill(rows);
  });
}

void TSiteDataWindow::fill(const QList<SiteRow>& rows) {
  QStringList selected;
  for (QTreeWidgetItem* i : tvSites->selectedItems()) selected << i->text(0);
  rows_ = rows;
  tvSites->clear();
  for (const SiteRow& r : rows) {
    auto* item = new QTreeWidgetItem(tvSites, {r.site, kindsText(r.kinds), amountText(r)});
    item->setSelected(selected.contains(r.site));
  }
}

void TSiteDataWindow::DeleteSelected() {
  QPointer<TSiteDataWindow> self(this);
  auto reload = [self] {
    if (self) guarded::run([&] { self->Reload(); });
  };
  const QList<QTreeWidgetItem*> items = tvSites->selectedItems();
  for (QTreeWidgetItem* item : items) {
    const qsizetype row = tvSites->indexOfTopLevelItem(item);
    if (row >= 0 && row < rows_.size()) removeSite(rows_[row], reload);
  }
}

void TSiteDataWindow::DeleteAll() {
  QPointer<TSiteDataWindow> self(this);
  const bool whole = removeAllSites([self] {
    if (self) guarded::run([&] { self->Reload(); });
  });
  if (!whole)
    throw EInOutError(
        QStringLiteral("Internet Explorer エンジンのウィンドウが開いているため、Cookie 以外の"
                       "サイトデータは削除できませんでした。ウィンドウを閉じてからもう一度実行してください"));
}

}  // namespace sitedata
