#include "platform/zelvo_application.h"

#include <fcntl.h>
#include <unistd.h>

#include <QMainWindow>
#include <QSocketNotifier>
#include <csignal>

#include "platform/guarded.h"

namespace {

int signalPipe[2] = {-1, -1};

// Only async-signal-safe work here: the event loop does the rest.
void onTerminationSignal(int) {
  const char c = 1;
  [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}

}  // namespace

ZelvoApplication::ZelvoApplication(int& argc, char** argv) : QApplication(argc, argv) {
  if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  signalNotifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
  connect(signalNotifier_, &QSocketNotifier::activated, this, [this] {
    char buf[16];
    while (::read(signalPipe[0], buf, sizeof buf) > 0) {
    }
    terminationRequested();
  });
  struct sigaction sa {};
  sa.sa_handler = onTerminationSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(sig, &sa, nullptr);
}

ZelvoApplication::~ZelvoApplication() {
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) std::signal(sig, SIG_DFL);
}

void ZelvoApplication::terminationRequested() {
  for (QWidget* w : topLevelWidgets()) {
    if (qobject_cast<QMainWindow*>(w) && w->isVisible()) {
      w->close();
      return;
    }
  }
  quit();
}

bool ZelvoApplication::notify(QObject* receiver, QEvent* event) {
  bool result = false;
  guarded::run([&] { result = QApplication::notify(receiver, event); });
  return result;
}
