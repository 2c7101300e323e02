// The history survives a kill at any moment: a writer recording visits is
// killed again and again, mid-write; each time the database opens without
// being set aside and keeps every visit the writer saw written.
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include "history/history_store.h"

class TestHistoryKill : public QObject {
  Q_OBJECT
 private slots:
  void killedWriterLosesNoWrittenVisit() {
    QTemporaryDir dir;
    QRandomGenerator random(7);
    int confirmed = 0;
    for (int round = 0; round < 25; ++round) {
      QProcess writer;
      writer.start(QStringLiteral(ZELVO_HISTORY_WRITER), {dir.path()});
      QVERIFY(writer.waitForStarted());
      // Killed once it has written a few visits, a random moment later.
      QVERIFY(QTest::qWaitFor([&] { return writer.canReadLine(); }, 10000));
      QTest::qWait(int(random.bounded(1, 40)));
      writer.kill();
      QVERIFY(writer.waitForFinished());
      const QList<QByteArray> lines = writer.readAllStandardOutput().split('\n');
      int last = 0;
      for (const QByteArray& line : lines)
        if (!line.isEmpty()) last = line.toInt();
      QVERIFY2(last > 0, writer.readAllStandardError().constData());
      confirmed += last;
      // Written through a write-ahead log, which the kill leaves behind.
      QVERIFY(QFile::exists(dir.filePath(QStringLiteral("history.sqlite-wal"))));

      history::Store store(dir.path());
      QStringList notices;
      connect(&store, &history::Store::notice, this, [&](const QString& text) { notices << text; });
      QTRY_VERIFY_WITH_TIMEOUT(store.isReady(), 10000);
      QVERIFY2(notices.isEmpty(), qPrintable(notices.join(u'\n')));
      // Each visit is one page; at most the one being confirmed when the
      // kill came is there without its line.
      const qsizetype kept = store.recent(1000000).size();
      QVERIFY2(kept >= confirmed && kept <= confirmed + round + 1,
               qPrintable(QStringLiteral("%1 kept, %2 confirmed").arg(kept).arg(confirmed)));
    }
  }
};

QTEST_GUILESS_MAIN(TestHistoryKill)
#include "test_history_kill.moc"
