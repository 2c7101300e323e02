// A program saving both files in a loop is killed at random moments. After
// each kill both files read whole, as one round or the next wrote them, and
// once the next start has run nothing temporary is left beside them. Half
// the rounds run with both files hard-linked (rewritten in place).
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include "bookmarks/bookmark_file.h"
#include "crash_rounds.h"
#include "file_util.h"
#include "platform/atomic_file.h"
#include "platform/ini_file.h"

namespace {

pid_t startSaver(const QString& folder) {
  const pid_t pid = fork();
  if (pid == 0) {
    execl(ZELVO_CRASH_SAVER, ZELVO_CRASH_SAVER, QFile::encodeName(folder).constData(), nullptr);
    _exit(127);
  }
  return pid;
}

}  // namespace

class TestCrashSaves : public QObject {
  Q_OBJECT

 private slots:
  void killedSavesLeaveWholeFiles() {
    constexpr int kKills = 200;
    QTemporaryDir dir;
    const QString config = dir.filePath("config.ini");
    const QString marks = dir.filePath("bookmark.xml");
    QRandomGenerator rng(20261209);
    // How long the saver takes to start and save three rounds here (a
    // sanitizer build or a loaded machine is slower), in microseconds; the
    // kills fall around it, the dry run's files are the starting point.
    const quint32 threeRounds = [&] {
      QElapsedTimer clock;
      clock.start();
      const pid_t pid = startSaver(dir.path());
      while (IniFile(config).ReadInteger("General", "Counter", 0) < 3 && clock.elapsed() < 60000) ::usleep(500);
      const qint64 took = clock.nsecsElapsed() / 1000;
      ::kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
      return quint32(qMax<qint64>(took, 2000));
    }();
    int midRound = 0, lastCounter = 0;
    quint32 base = threeRounds;
    for (int kill = 0; kill < kKills; ++kill) {
      const bool linked = kill >= kKills / 2;
      if (linked && kill == kKills / 2) {
        QVERIFY(::link(QFile::encodeName(config).constData(),
                       QFile::encodeName(dir.filePath("config-2")).constData()) == 0);
        QVERIFY(::link(QFile::encodeName(marks).constData(),
                       QFile::encodeName(dir.filePath("bookmark-2")).constData()) == 0);
      }
      const pid_t pid = startSaver(dir.path());
      QVERIFY(pid > 0);
      // From before the saver is going to a few rounds into it.
      ::usleep(useconds_t(rng.bounded(base / 2, base * 3 / 2)));
      ::kill(pid, SIGKILL);
      int status = 0;
      waitpid(pid, &status, 0);
      QVERIFY2(WIFSIGNALED(status), "the saver stopped by itself");

      // The next start: whatever an interrupted save left is settled.
      recoverInterruptedReplace(config);
      bookmarks::recoverInterruptedSave(marks);

      // config.ini: round n's counter, with round n-1's or round n's text.
      const QByteArray ini = readAll(config);
      const int n = IniFile(config).ReadInteger("General", "Counter", 0);
      if (n == 0) {
        QVERIFY2(ini.isEmpty(), ini.constData());
      } else {
        // Before the first round's text there is none.
        const QString text = IniFile(config).ReadString("General", "Text", QStringLiteral("none"));
        QVERIFY2(text == crashText(n) || (n > 1 && text == crashText(n - 1)) || (n == 1 && text == "none"),
                 qPrintable(text));
        QByteArray whole = "[General]\nCounter=" + QByteArray::number(n) + "\n";
        if (text != "none") whole += "Text=" + text.toUtf8() + "\n";
        QCOMPARE(ini, whole);
        if (text != crashText(n)) ++midRound;
      }
      QVERIFY(n >= lastCounter);
      // The machine's speed changes: a kill before any progress waits longer
      // next time, one after many rounds shorter.
      if (n == lastCounter)
        base = qMin<quint32>(base * 3 / 2, 5000000);
      else if (n > lastCounter + 8)
        base = qMax<quint32>(base * 2 / 3, 2000);
      lastCounter = n;

      // bookmark.xml: a whole tree of round n-1 or n, clean.
      QByteArray xml = readAll(marks);
      if (!xml.isEmpty()) {
        const auto read = bookmarks::parseBookmarks(xml, bookmarks::TopLevelAddress::LastChild);
        QVERIFY2(!read.damaged && !read.entries.empty(), xml.constData());
        const int round = read.entries.front().name.section(u'-', 0, 0).toInt();
        QVERIFY2(round == n || round == n - 1, qPrintable(read.entries.front().name));
        QCOMPARE(xml, bookmarks::serializeBookmarks(crashTree(round)));
      }

      QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
      for (const char* known : {"config.ini", "bookmark.xml", "bookmark.xml.bak", "config-2", "bookmark-2"})
        left.removeAll(QString::fromLatin1(known));
      QVERIFY2(left.isEmpty(), qPrintable(left.join(u' ')));
      if (linked) {
        QCOMPARE(readAll(dir.filePath("config-2")), ini);
        QCOMPARE(readAll(dir.filePath("bookmark-2")), xml);
      }
    }
    // The kills did land in the middle of saves, and the saver got going.
    qInfo("%d rounds saved, %d kills between the two settings writes", lastCounter, midRound);
    QVERIFY(lastCounter > 20);
  }
};

QTEST_GUILESS_MAIN(TestCrashSaves)
#include "test_crash_saves.moc"
