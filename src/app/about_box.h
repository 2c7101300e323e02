#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

// The version box: a fixed dialog without behaviour of its own.
class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutBox(QWidget* parent = nullptr);

  QFrame* Panel1 = nullptr;
  QFrame* ProgramIcon = nullptr;
  QLabel* IconLabel = nullptr;
  QLabel* ProductName = nullptr;
  QLabel* Version = nullptr;
  QPushButton* OKButton = nullptr;

 public slots:
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
};
