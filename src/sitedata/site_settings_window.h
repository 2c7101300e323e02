#pragma once

// ツール > サイトの設定: the permission answers kept for good, one row per
// site and permission (許可 or ブロック), changed or removed here.
#include <QDialog>

class QPushButton;
class QTreeWidget;

namespace sitedata {

class TSiteSettingsWindow : public QDialog {
  Q_OBJECT
 public:
  explicit TSiteSettingsWindow(QWidget* parent);

  QTreeWidget* tvSettings = nullptr;
  QPushButton* btnAllow = nullptr;
  QPushButton* btnBlock = nullptr;
  QPushButton* btnRemove = nullptr;

  void Reload();
  // The chosen rows become 許可 (true) or ブロック (false).
  void SetSelected(bool allowed);
  void RemoveSelected();
};

}  // namespace sitedata
