#pragma once

#include <QDialog>
#include <QList>
#include <QString>

#include "engine/engine_rules.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// "エンジンの自動切り替え": the rules that choose the engine of a window
// opened for an address. Modeless; each showing reads the rules from
// config.ini, OK writes them back, Cancel forgets the changes.
class Tfrm_EngineRule : public QDialog {
  Q_OBJECT
 public:
  Tfrm_EngineRule(const QString& configPath, QWidget* parent = nullptr);

  QTreeWidget* lstRules = nullptr;  // columns: 対象, 種類, エンジン
  QLabel* Label1 = nullptr;
  QLineEdit* txtPattern = nullptr;
  QLabel* Label2 = nullptr;
  QComboBox* cboEngine = nullptr;  // 0 Internet Explorer, 1 Gekko
  QPushButton* btnAdd = nullptr;
  QPushButton* btnChange = nullptr;
  QPushButton* btnDel = nullptr;
  QPushButton* btnUp = nullptr;
  QPushButton* btnDown = nullptr;
  QLabel* Label3 = nullptr;
  QPushButton* btnOK = nullptr;
  QPushButton* btnCancel = nullptr;

  QList<engine_rules::EngineRule> Rules;  // as listed

  void FormShow();
  void lstRulesChange();
  void btnAddClick();
  void btnChangeClick();
  void btnDelClick();
  void btnUpClick();
  void btnDownClick();
  void btnOKClick();
  void btnCancelClick();

  static QString KindCaption(engine_rules::Kind kind);
  static QString EngineCaption(engine_rules::Engine engine);

 private:
  engine_rules::EngineRule Entered() const;
  int Current() const;
  void ShowRules(int select);
  QString configPath_;
};
