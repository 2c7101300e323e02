#pragma once

#include <QApplication>

// The application object. Its event dispatch is the last guard: an error that
// a handler let through is shown in the standard box instead of ending the
// program.
class ZelvoApplication : public QApplication {
  Q_OBJECT
 public:
  ZelvoApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};
