#pragma once

// ツール > サイトデータ: the sites that stored cookies or data in either
// engine, one row per site with what it stored and how much where the
// engine tells, 削除 for the chosen sites and すべて削除. A window of its
// own beside the frame, never modal.
#include <QDialog>

#include "sitedata/site_rules.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace sitedata {

class TSiteDataWindow : public QDialog {
  Q_OBJECT
 public:
  explicit TSiteDataWindow(QWidget* parent);

  QTreeWidget* tvSites = nullptr;
  QPushButton* btnDelete = nullptr;
  QPushButton* btnDeleteAll = nullptr;
  QLabel* lblNote = nullptr;

  // Asks both engines again; the list follows when they answered.
  void Reload();
  void DeleteSelected();
  void DeleteAll();
  const QList<SiteRow>& Rows() const { return rows_; }
  // Whether an answer is still awaited.
  bool Loading() const { return loading_ > 0; }

 private:
  void fill(const QList<SiteRow>& rows);
  QList<SiteRow> rows_;
  int loading_ = 0;
};

}  // namespace sitedata
