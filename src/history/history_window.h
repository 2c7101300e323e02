#pragma once

// The history window: the pages visited, newest first under the day of
// their last visit (今日, 昨日, then dates), a search over titles and
// addresses, opening with Enter or a double click, Delete to forget pages,
// and 履歴を消去... for the last hour, day, week or everything. A window of
// its own beside the frame, never modal.
#include <QComboBox>
#include <QDialog>
#include <QPointer>
#include <QWidget>

#include "history/history_store.h"

class QLineEdit;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace history {

class THistoryWindow : public QWidget {
  Q_OBJECT
 public:
  // Pages read at a time; more follow as the list is scrolled to its end.
  static constexpr int kPageSize = 500;

  THistoryWindow(Store* store, QWidget* parent);

  QLineEdit* txtHistorySearch = nullptr;
  QTreeWidget* tvHistory = nullptr;
  QPushButton* btnHistoryOpen = nullptr;
  QPushButton* btnHistoryDelete = nullptr;
  QPushButton* btnHistoryClear = nullptr;
  // The question of 履歴を消去..., while it is open.
  QPointer<QDialog> ClearDialog;
  QPointer<QComboBox> cmbClearRange;

  // Reads the list again (the search field's text applies).
  void Reload();
  void OpenSelected();
  void DeleteSelected();
  void btnHistoryClearClick();

 signals:
  void openRequested(const QString& url);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Esc closes the window, as it closes a dialog.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void append(const QList<Entry>& entries);
  void loadMore();
  QTreeWidgetItem* dayItem(const QDate& day);

  Store* store_;
  QTimer* searchDelay_;
  qint64 oldestShown_ = 0;
  bool more_ = false;
};

}  // namespace history
