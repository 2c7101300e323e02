#pragma once

#include <QApplication>

class QSocketNotifier;

// The application object. Its event dispatch is the last guard: an error that
// a handler let through is shown in the standard box instead of ending the
// program. A termination request from the system (SIGTERM, SIGINT, SIGHUP, as
// at the end of a desktop session) closes the frame the ordinary way, so its
// settings are saved as at any close.
class ZelvoApplication : public QApplication {
  Q_OBJECT
 public:
  ZelvoApplication(int& argc, char** argv);
  ~ZelvoApplication() override;
  bool notify(QObject* receiver, QEvent* event) override;

 private:
  void terminationRequested();
  QSocketNotifier* signalNotifier_ = nullptr;
};
