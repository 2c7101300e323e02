#include "platform/zelvo_application.h"

#include "platform/guarded.h"

ZelvoApplication::ZelvoApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool ZelvoApplication::notify(QObject* receiver, QEvent* event) {
  bool result = false;
  guarded::run([&] { result = QApplication::notify(receiver, event); });
  return result;
}
