#pragma once

// ツール > パスワード: the saved passwords, by site and user. A password is
// shown only when asked for; one can be copied or deleted.
#include <QDialog>

#include "passwords/password_store.h"

class QLabel;
class QPushButton;
class QTreeWidget;

class TPasswordsForm : public QDialog {
  Q_OBJECT
 public:
  explicit TPasswordsForm(QWidget* parent);
  // Reads the list from the store again.
  void reload();

  QTreeWidget* lvPasswords = nullptr;
  QLabel* lblPasswordsState = nullptr;
  QPushButton* btnShowPassword = nullptr;
  QPushButton* btnCopyPassword = nullptr;
  QPushButton* btnDeletePassword = nullptr;
  QPushButton* btnClose = nullptr;

 private:
  void btnShowPasswordClick();
  void btnCopyPasswordClick();
  void btnDeletePasswordClick();
  void updateButtons();
  std::optional<passwords::Credential> selected() const;

  QList<passwords::Credential> entries_;
};
