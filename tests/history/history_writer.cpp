// Records visits into the history in the given folder, one at a time, until
// it is killed; prints the number of each visit once it is written.
#include <QCoreApplication>
#include <QDateTime>
#include <cstdio>

#include "history/history_store.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) return 2;
  history::Store store(QString::fromLocal8Bit(argv[1]));
  QObject::connect(&store, &history::Store::notice, [](const QString& text) {
    std::fprintf(stderr, "%s\n", qPrintable(text));
    std::exit(3);
  });
  while (!store.isReady()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  const QString run = QString::number(QCoreApplication::applicationPid());
  for (int n = 1;; ++n) {
    store.recordVisit(QStringLiteral("https://crash.example/%1/%2").arg(run).arg(n), QStringLiteral("ページ %1").arg(n),
                      QDateTime::currentMSecsSinceEpoch());
    store.waitWritten();
    std::printf("%d\n", n);
    std::fflush(stdout);
  }
}
