#pragma once

// ツール > 閲覧履歴を消去...: a time range and a check box for each kind of
// data something in the program can clear (those without a clearer are
// not offered); 消去 runs the clearers of the ticked kinds.
#include <QDialog>
#include <QMap>

#include "sitedata/data_clearers.h"
#include "sitedata/site_rules.h"

class QCheckBox;
class QComboBox;
class QPushButton;

namespace sitedata {

class TClearDataDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TClearDataDialog(QWidget* parent);

  QComboBox* cmbRange = nullptr;
  QMap<DataKind, QCheckBox*> checks;
  QPushButton* btnClear = nullptr;

  ClearRange Range() const;
  QList<DataKind> Chosen() const;
  // Clears what is ticked over the range chosen, and closes.
  void btnClearClick();
};

}  // namespace sitedata
