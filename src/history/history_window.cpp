#include "history/history_window.h"

#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/guarded.h"

namespace history {

namespace {
enum Role { IdRole = Qt::UserRole, UrlRole, DayRole };
}

THistoryWindow::THistoryWindow(Store* store, QWidget* parent) : QWidget(parent, Qt::Window), store_(store) {
  setObjectName(QStringLiteral("frm_History"));
  setWindowTitle(QStringLiteral("履歴"));
  setAccessibleName(QStringLiteral("履歴"));
  resize(640, 480);

  txtHistorySearch = new QLineEdit(this);
  txtHistorySearch->setObjectName(QStringLiteral("txtHistorySearch"));
  txtHistorySearch->setPlaceholderText(QStringLiteral("履歴を検索"));
  txtHistorySearch->setAccessibleName(QStringLiteral("履歴の検索"));
  txtHistorySearch->setAccessibleDescription(QStringLiteral("タイトルとアドレスから探します"));
  txtHistorySearch->setClearButtonEnabled(true);

  tvHistory = new QTreeWidget(this);
  tvHistory->setObjectName(QStringLiteral("tvHistory"));
  tvHistory->setAccessibleName(QStringLiteral("履歴"));
  tvHistory->setAccessibleDescription(QStringLiteral("Enter キーで開き、Delete キーで削除します"));
  tvHistory->setColumnCount(3);
  tvHistory->setHeaderLabels({QStringLiteral("タイトル"), QStringLiteral("アドレス"), QStringLiteral("時刻")});
  tvHistory->setSelectionMode(QAbstractItemView::ExtendedSelection);
  tvHistory->setUniformRowHeights(true);
  tvHistory->header()->resizeSection(0, 260);
  tvHistory->header()->resizeSection(1, 260);

  auto* label = new QLabel(QStringLiteral("検索(&S):"), this);
  label->setObjectName(QStringLiteral("lblHistorySearch"));
  label->setBuddy(txtHistorySearch);
  btnHistoryOpen = new QPushButton(QStringLiteral("開く(&O)"), this);
  btnHistoryOpen->setObjectName(QStringLiteral("btnHistoryOpen"));
  btnHistoryDelete = new QPushButton(QStringLiteral("削除(&D)"), this);
  btnHistoryDelete->setObjectName(QStringLiteral("btnHistoryDelete"));
  btnHistoryClear = new QPushButton(QStringLiteral("履歴を消去(&C)..."), this);
  btnHistoryClear->setObjectName(QStringLiteral("btnHistoryClear"));
  for (QPushButton* b : {btnHistoryOpen, btnHistoryDelete, btnHistoryClear}) {
    b->setAutoDefault(false);
    b->setAccessibleName(QString(b->text())
                             .remove(QStringLiteral("(&O)"))
                             .remove(QStringLiteral("(&D)"))
                             .remove(QStringLiteral("(&C)")));
  }

  auto* top = new QHBoxLayout;
  top->addWidget(label);
  top->addWidget(txtHistorySearch, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnHistoryOpen);
  buttons->addWidget(btnHistoryDelete);
  buttons->addStretch(1);
  buttons->addWidget(btnHistoryClear);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(tvHistory, 1);
  layout->addLayout(buttons);

  searchDelay_ = new QTimer(this);
  searchDelay_->setSingleShot(true);
  searchDelay_->setInterval(0);
  connect(searchDelay_, &QTimer::timeout, this, [this] { guarded::run([this] { Reload(); }); });
  connect(txtHistorySearch, &QLineEdit::textChanged, searchDelay_, qOverload<>(&QTimer::start));
  connect(tvHistory, &QTreeWidget::itemActivated, this, [this] { guarded::run([this] { OpenSelected(); }); });
  connect(btnHistoryOpen, &QPushButton::clicked, this, [this] { guarded::run([this] { OpenSelected(); }); });
  connect(btnHistoryDelete, &QPushButton::clicked, this, [this] { guarded::run([this] { DeleteSelected(); }); });
  connect(btnHistoryClear, &QPushButton::clicked, this, guarded::handler(this, &THistoryWindow::btnHistoryClearClick));
  connect(tvHistory->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
    if (more_ && value >= tvHistory->verticalScrollBar()->maximum()) guarded::run([this] { loadMore(); });
  });
  connect(store_, &Store::changed, this, [this] { guarded::run([this] { Reload(); }); });
  tvHistory->installEventFilter(this);
  txtHistorySearch->installEventFilter(this);
  setTabOrder(txtHistorySearch, tvHistory);
}

QTreeWidgetItem* THistoryWindow::dayItem(const QDate& day) {
  const int n = tvHistory->topLevelItemCount();
  if (n > 0) {
    QTreeWidgetItem* last = tvHistory->topLevelItem(n - 1);
    if (last->data(0, DayRole).toDate() == day) return last;
  }
  auto* item = new QTreeWidgetItem(tvHistory, {dayHeading(day, QDate::currentDate())});
  item->setData(0, DayRole, day);
  item->setFirstColumnSpanned(true);
  item->setExpanded(true);
  QFont bold = item->font(0);
  bold.setBold(true);
  item->setFont(0, bold);
  return item;
}

void THistoryWindow::append(const QList<Entry>& entries) {
  for (const Entry& e : entries) {
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(e.lastVisit);
    QTreeWidgetItem* day = dayItem(when.date());
    auto* item =
        new QTreeWidgetItem(day, {e.title.isEmpty() ? e.url : e.title, e.url, when.toString(QStringLiteral("HH:mm"))});
    item->setData(0, IdRole, e.id);
    item->setData(0, UrlRole, e.url);
    item->setToolTip(0, e.title);
    item->setToolTip(1, e.url);
    oldestShown_ = e.lastVisit;
  }
}

void THistoryWindow::Reload() {
  searchDelay_->stop();
  tvHistory->clear();
  oldestShown_ = 0;
  const QString text = txtHistorySearch->text().trimmed();
  const QList<Entry> entries = text.isEmpty() ? store_->recent(kPageSize) : store_->search(text, kPageSize);
  // A search shows its first matches; the plain list goes on as it scrolls.
  more_ = text.isEmpty() && entries.size() == kPageSize;
  append(entries);
}

void THistoryWindow::loadMore() {
  if (!more_ || oldestShown_ <= 0) return;
  const QList<Entry> entries = store_->recent(kPageSize, oldestShown_);
  more_ = entries.size() == kPageSize;
  append(entries);
}

void THistoryWindow::OpenSelected() {
  QTreeWidgetItem* item = tvHistory->currentItem();
  if (!item || item->data(0, UrlRole).toString().isEmpty()) return;
  emit openRequested(item->data(0, UrlRole).toString());
}

void THistoryWindow::DeleteSelected() {
  QList<qint64> ids;
  QList<QTreeWidgetItem*> gone;
  for (QTreeWidgetItem* item : tvHistory->selectedItems()) {
    // A day chosen as a whole takes its pages with it.
    if (!item->parent()) {
      for (int i = 0; i < item->childCount(); ++i) ids << item->child(i)->data(0, IdRole).toLongLong();
      gone << item;
    } else if (!gone.contains(item->parent())) {
      ids << item->data(0, IdRole).toLongLong();
      gone << item;
    }
  }
  if (ids.isEmpty()) return;
  for (QTreeWidgetItem* item : gone) {
    QTreeWidgetItem* parent = item->parent();
    delete item;
    if (parent && parent->childCount() == 0) delete parent;
  }
  store_->removeEntries(ids);
}

void THistoryWindow::btnHistoryClearClick() {
  if (ClearDialog) {
    ClearDialog->raise();
    return;
  }
  ClearDialog = new QDialog(this);
  ClearDialog->setObjectName(QStringLiteral("ClearHistoryDialog"));
  ClearDialog->setWindowTitle(QStringLiteral("履歴を消去"));
  ClearDialog->setAttribute(Qt::WA_DeleteOnClose);
  cmbClearRange = new QComboBox(ClearDialog);
  cmbClearRange->setObjectName(QStringLiteral("cmbClearRange"));
  cmbClearRange->setAccessibleName(QStringLiteral("消去する期間"));
  cmbClearRange->addItem(QStringLiteral("過去 1 時間"), int(ClearRange::Hour));
  cmbClearRange->addItem(QStringLiteral("過去 24 時間"), int(ClearRange::Day));
  cmbClearRange->addItem(QStringLiteral("過去 7 日間"), int(ClearRange::Week));
  cmbClearRange->addItem(QStringLiteral("すべて"), int(ClearRange::All));
  auto* label = new QLabel(QStringLiteral("消去する期間(&R):"), ClearDialog);
  label->setObjectName(QStringLiteral("lblClearRange"));
  label->setBuddy(cmbClearRange);
  auto* box = new QDialogButtonBox(ClearDialog);
  QPushButton* ok = box->addButton(QStringLiteral("消去"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("btnClearOK"));
  QPushButton* cancel = box->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
  cancel->setObjectName(QStringLiteral("btnClearCancel"));
  connect(box, &QDialogButtonBox::accepted, ClearDialog, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, ClearDialog, &QDialog::reject);
  auto* layout = new QVBoxLayout(ClearDialog);
  auto* row = new QHBoxLayout;
  row->addWidget(label);
  row->addWidget(cmbClearRange, 1);
  layout->addLayout(row);
  layout->addWidget(box);
  connect(ClearDialog, &QDialog::accepted, this, [this] {
    guarded::run([this] {
      const auto range = ClearRange(cmbClearRange->currentData().toInt());
      store_->clearFrom(history::clearFrom(range, QDateTime::currentMSecsSinceEpoch()));
    });
  });
  ClearDialog->open();
}

void THistoryWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

bool THistoryWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
  const int key = static_cast<QKeyEvent*>(event)->key();
  if (watched == tvHistory && key == Qt::Key_Delete) {
    guarded::run([this] { DeleteSelected(); });
    return true;
  }
  if (watched == tvHistory && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
    guarded::run([this] { OpenSelected(); });
    return true;
  }
  // From the search field the arrows go on into the list.
  if (watched == txtHistorySearch && key == Qt::Key_Down && tvHistory->topLevelItemCount() > 0) {
    tvHistory->setFocus();
    if (!tvHistory->currentItem()) tvHistory->setCurrentItem(tvHistory->topLevelItem(0));
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace history
