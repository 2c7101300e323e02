// The settings and bookmark files against what a user's folder can hold:
// files the user may not write, links, other kinds of file under the name,
// a full disk, and two running copies writing at once.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <functional>

#include "bookmarks/bookmark_file.h"
#include "file_util.h"
#include "platform/atomic_file.h"
#include "platform/errors.h"
#include "platform/ini_file.h"
#include "platform/text_codec.h"
#include "run_as_nobody.h"

namespace {

struct stat statOf(const QString& path) {
  struct stat st {};
  ::stat(QFile::encodeName(path).constData(), &st);
  return st;
}

const BookmarkTree kTree{BookmarkEntry::link(QStringLiteral("新しい"), QStringLiteral("http://new/"))};

// The two saves under test, each returning the error text (empty: saved).
QString saveConfig(const QString& path) {
  try {
    IniFile(path).WriteString(QStringLiteral("General"), QStringLiteral("LastEngine"), QStringLiteral("Gecko"));
  } catch (const ZelvoError& e) {
    return e.text();
  }
  return QString();
}
QString saveBookmarks(const QString& path, const BookmarkTree& tree) {
  try {
    bookmarks::saveBookmarkFile(path, tree);
  } catch (const ZelvoError& e) {
    return e.text();
  }
  return QString();
}
QString saveBookmarks(const QString& path) { return saveBookmarks(path, kTree); }

struct FileKind {
  const char* name;
  QString (*save)(const QString&);
  QByteArray old;
};

const QList<FileKind> kKinds{
    {"config.ini", saveConfig, "[General]\nLastEngine=IE\n"},
    {"bookmark.xml", saveBookmarks,
     bookmarks::serializeBookmarks({BookmarkEntry::link(QStringLiteral("古い"), QStringLiteral("http://old/"))})},
};

// A file of that kind with its old content, in a folder anyone may write.
QString oldFileInOpenFolder(const QTemporaryDir& dir, const FileKind& k, mode_t mode) {
  ::chmod(QFile::encodeName(dir.path()).constData(), 0777);
  const QString path = dir.filePath(k.name);
  writeRaw(path, k.old);
  ::chmod(QFile::encodeName(path).constData(), mode);
  return path;
}

// What the folder holds besides the given names (temporary files left?).
QStringList others(const QString& dir, const QStringList& known) {
  QStringList out = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  for (const QString& k : known) out.removeAll(k);
  return out;
}

}  // namespace

class TestFileSafety : public QObject {
  Q_OBJECT

 private slots:
  void readOnlyFileInWritableFolderIsRefused() {
    for (const FileKind& k : kKinds) {
      QTemporaryDir dir;
      const QString path = oldFileInOpenFolder(dir, k, 0444);
      const struct stat before = statOf(path);
      const int rc = runAsNobody([&] { return k.save(path) == path + QStringLiteral(" に書き込めません") ? 0 : 1; });
      QVERIFY2(rc == 0, k.name);
      QCOMPARE(readAll(path), k.old);
      const struct stat after = statOf(path);
      QCOMPARE(after.st_ino, before.st_ino);
      QCOMPARE(after.st_uid, before.st_uid);
      QCOMPARE(after.st_mode, before.st_mode);
      QCOMPARE(others(dir.path(), {k.name}), QStringList());
    }
  }

  void symlinkChainsReplaceTheFinalFile() {
    for (const FileKind& k : kKinds) {
      QTemporaryDir dir;
      QDir(dir.path()).mkdir("real");
      const QString real = dir.filePath(QStringLiteral("real/") + k.name);
      QVERIFY(writeRaw(real, k.old));
      // name -> middle (relative) -> real/<name>
      QVERIFY(::symlink(QByteArray("real/").append(k.name).constData(),
                        QFile::encodeName(dir.filePath("middle")).constData()) == 0);
      const QString path = dir.filePath(k.name);
      QVERIFY(::symlink("middle", QFile::encodeName(path).constData()) == 0);
      QCOMPARE(finalTarget(path), real);
      QCOMPARE(k.save(path), QString());
      QCOMPARE(k.save(path), QString());  // a second save goes the same way
      QVERIFY(QFileInfo(path).isSymLink());
      QVERIFY(QFileInfo(dir.filePath("middle")).isSymLink());
      QVERIFY(readAll(real) != k.old);
      QCOMPARE(readAll(path), readAll(real));
      // A loop of links is refused, and nothing is created.
      QVERIFY(::symlink("loop2", QFile::encodeName(dir.filePath("loop1")).constData()) == 0);
      QVERIFY(::symlink("loop1", QFile::encodeName(dir.filePath("loop2")).constData()) == 0);
      QVERIFY(!k.save(dir.filePath("loop1")).isEmpty());
    }
  }

  void hardLinkedFilesKeepTheirLinksAndOwner() {
    for (const FileKind& k : kKinds) {
      QTemporaryDir dir;
      const QString path = dir.filePath(k.name);
      const QString other = dir.filePath("other-name");
      QVERIFY(writeRaw(path, k.old));
      QVERIFY(::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()) == 0);
      QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
      const struct stat before = statOf(path);
      QCOMPARE(k.save(path), QString());
      const QByteArray now = readAll(path);
      QVERIFY(now != k.old);
      QCOMPARE(readAll(other), now);
      QCOMPARE(statOf(path).st_ino, before.st_ino);
      QCOMPARE(statOf(path).st_nlink, nlink_t(2));
      QCOMPARE(statOf(path).st_mode, before.st_mode);
      QStringList known{k.name, "other-name"};
      if (QByteArray(k.name) == "bookmark.xml") known << "bookmark.xml.bak";
      QCOMPARE(others(dir.path(), known), QStringList());
    }
  }

  void aFileOfAnotherOwnerKeepsItsOwner() {
    if (::geteuid() != 0) QSKIP("needs root to make a file of another owner");
    for (const FileKind& k : kKinds) {
      QTemporaryDir dir;
      // Root's file, which the ordinary user may write (group and others).
      const QString path = oldFileInOpenFolder(dir, k, 0666);
      QCOMPARE(runAsNobody([&] { return k.save(path).isEmpty() ? 0 : 1; }), 0);
      QVERIFY(readAll(path) != k.old);
      QCOMPARE(statOf(path).st_uid, uid_t(0));
      QCOMPARE(statOf(path).st_mode & 07777, mode_t(0666));
    }
  }

  void otherKindsOfFileAreNeitherReadNorReplaced() {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo");
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0644) == 0);
    struct Case {
      const char* what;
      QString target;
    };
    for (const Case& c :
         {Case{"FIFO", fifo}, Case{"link to /dev/zero", QStringLiteral("/dev/zero")}, Case{"folder", dir.path()}}) {
      for (const FileKind& k : kKinds) {
        const QString path = dir.filePath(k.name);
        QFile::remove(path);
        QVERIFY(QFile::link(c.target, path));
        QByteArray bytes;
        QVERIFY2(readRegularFile(path, &bytes) == FileRead::NotRegular, c.what);
        // Read as no file, at once: no hang on a FIFO nobody writes.
        QCOMPARE(IniFile(path).ReadString("General", "LastEngine", "dflt"), QString("dflt"));
        QVERIFY(bookmarks::readBookmarkFile(path, bookmarks::TopLevelAddress::LastChild).empty());
        QVERIFY2(!k.save(path).isEmpty(), c.what);
        QVERIFY(QFileInfo(path).isSymLink());
        QCOMPARE(QFileInfo(path).symLinkTarget(), QFileInfo(c.target).absoluteFilePath());
      }
    }
    QVERIFY(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());
  }

  void fullDiskDuringABookmarkSave() {
    for (bool linked : {false, true}) {
      QTemporaryDir dir;
      const QString path = dir.filePath("bookmark.xml");
      const QByteArray old = kKinds[1].old;
      QVERIFY(writeRaw(path, old));
      if (linked)
        QVERIFY(::link(QFile::encodeName(path).constData(), QFile::encodeName(dir.filePath("other")).constData()) == 0);
      BookmarkTree big;
      for (int i = 0; i < 200; ++i) big.push_back(BookmarkEntry::link(QString::number(i), QString(50, u'u')));
      const QString error = withFileSizeLimit(1024, [&] { return saveBookmarks(path, big); });
      QCOMPARE(error, path + QStringLiteral(" に書き込めません"));
      QCOMPARE(readAll(path), old);
      QCOMPARE(others(dir.path(), {"bookmark.xml", "bookmark.xml.bak", "other"}), QStringList());
    }
  }

  void hardLinkedFileFullDiskKeepsOldContent() {
    QTemporaryDir dir;
    const QString path = dir.filePath("config.ini");
    QVERIFY(writeRaw(path, "[General]\nLastEngine=IE\n"));
    QVERIFY(::link(QFile::encodeName(path).constData(), QFile::encodeName(dir.filePath("other")).constData()) == 0);
    const bool threw = withFileSizeLimit(64, [&] {
      try {
        IniFile(path).WriteString("General", "Big", QString(500, u'x'));
      } catch (const EInOutError&) {
        return true;
      }
      return false;
    });
    QVERIFY(threw);
    QCOMPARE(readAll(path), QByteArray("[General]\nLastEngine=IE\n"));
    QCOMPARE(others(dir.path(), {"config.ini", "other"}), QStringList());
  }

  // What a crash in the middle of rewriting a hard-linked file in place
  // leaves: the journal beside the file, and the file as the crash left it
  // or as the user made it since. Only a file torn by the rewrite is
  // finished; one put back from its backup or changed since is kept.
  void interruptedInPlaceRewriteIsFinishedOnlyWhereItWasCut() {
    const QByteArray before = "[General]\nLastEngine=IE\nOld=1\n";
    const QByteArray after = "[General]\nLastEngine=Gecko\n";
    const QByteArray longer = after + "Added=" + QByteArray(40, 'x') + "\n";
    const struct {
      const char* what;
      QByteArray old, written, now, kept;
    } cases[] = {
        {"cut in the middle", before, after, after.left(23) + before.mid(23), after},
        {"written, not yet shortened", before, after, after + before.mid(after.size()), after},
        {"cut past the old end", before, longer, longer.left(40) + QByteArray(longer.size() - 40, '\0'), longer},
        {"cut before the first byte", before, after, before, before},
        {"put back from the backup", after, longer, after, after},
        {"written by the user since", before, after, "[General]\nLastEngine=Mine\n", "[General]\nLastEngine=Mine\n"},
        {"already whole", before, after, after, after},
    };
    for (const auto& c : cases) {
      QTemporaryDir dir;
      const QString path = dir.filePath("config.ini");
      QVERIFY(writeRaw(path, c.now));
      QVERIFY(writeRaw(dir.filePath(".config.ini.new"), inPlaceJournal(c.old, c.written)));
      QVERIFY(writeRaw(dir.filePath(".config.ini.tmp"), "[Gen"));
      recoverInterruptedReplace(path);
      QVERIFY2(readAll(path) == c.kept, c.what);
      QCOMPARE(others(dir.path(), {"config.ini"}), QStringList());
    }
    // A journal of no known form is dropped, the file kept.
    QTemporaryDir dir;
    const QString path = dir.filePath("config.ini");
    QVERIFY(writeRaw(path, "[General]\nLastEng"));
    QVERIFY(writeRaw(dir.filePath(".config.ini.new"), after));
    recoverInterruptedReplace(path);
    QCOMPARE(readAll(path), QByteArray("[General]\nLastEng"));
    QCOMPARE(others(dir.path(), {"config.ini"}), QStringList());
  }

  // A running copy reads a file only between another copy's rewrites, and
  // finishes one cut short by a crash before it reads.
  void readersNeverSeeARewriteHalfDone() {
    QTemporaryDir dir;
    const QString path = dir.filePath("config.ini");
    const QByteArray before = "[General]\nLastEngine=IE\n", after = "[General]\nLastEngine=Gecko\n";
    QVERIFY(writeRaw(path, after.left(23) + before.mid(23)));
    QVERIFY(writeRaw(dir.filePath(".config.ini.new"), inPlaceJournal(before, after)));
    QByteArray read;
    QCOMPARE(readRegularFile(path, &read), FileRead::Ok);
    QCOMPARE(read, after);
    QCOMPARE(others(dir.path(), {"config.ini"}), QStringList());

    // Another copy, under its lock, leaves the file torn for a while.
    int ready[2];
    QVERIFY(::pipe(ready) == 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
      const int folder = ::open(QFile::encodeName(dir.path()).constData(), O_RDONLY | O_DIRECTORY);
      ::flock(folder, LOCK_EX);
      const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY);
      (void)!::pwrite(fd, "####", 4, 0);
      (void)!::write(ready[1], "x", 1);
      ::usleep(300000);
      (void)!::pwrite(fd, before.constData(), size_t(before.size()), 0);
      (void)!::ftruncate(fd, before.size());
      ::_exit(0);
    }
    char x;
    QCOMPARE(::read(ready[0], &x, 1), ssize_t(1));
    QCOMPARE(readRegularFile(path, &read), FileRead::Ok);
    QCOMPARE(read, before);
    ::waitpid(pid, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
  }

  void twoCopiesWritingKeepEachOthersKeys() {
    QTemporaryDir dir;
    const QString path = dir.filePath("config.ini");
    QVERIFY(writeRaw(path, "[General]\nLastEngine=IE\n"));
    constexpr int kKeys = 40;
    // Two processes, each writing keys of its own and one shared key.
    auto writer = [&](const char* who) {
      return [&, who] {
        IniFile ini(path);
        for (int i = 0; i < kKeys; ++i) {
          ini.WriteInteger(QString::fromLatin1(who), QStringLiteral("Key%1").arg(i), i);
          ini.WriteString(QStringLiteral("General"), QStringLiteral("Shared"), QString::fromLatin1(who));
        }
        return 0;
      };
    };
    const pid_t a = fork();
    if (a == 0) _exit(writer("A")());
    const pid_t b = fork();
    if (b == 0) _exit(writer("B")());
    int sa = 0, sb = 0;
    waitpid(a, &sa, 0);
    waitpid(b, &sb, 0);
    QVERIFY(WIFEXITED(sa) && WEXITSTATUS(sa) == 0 && WIFEXITED(sb) && WEXITSTATUS(sb) == 0);
    const IniFile ini(path);
    for (const char* who : {"A", "B"})
      for (int i = 0; i < kKeys; ++i)
        QCOMPARE(ini.ReadInteger(QString::fromLatin1(who), QStringLiteral("Key%1").arg(i), -1), i);
    QCOMPARE(ini.ReadString("General", "LastEngine", ""), QString("IE"));
    const QString shared = ini.ReadString("General", "Shared", "");
    QVERIFY(shared == "A" || shared == "B");
    // The last writer of a key wins.
    IniFile(path).WriteString("General", "Shared", "last");
    QCOMPARE(ini.ReadString("General", "Shared", ""), QString("last"));
    QCOMPARE(others(dir.path(), {"config.ini"}), QStringList());
  }

  void shiftJisValuesReadBackExactly() {
    // Found by fuzzing: "¢" written into a Shift_JIS file came back as "￠".
    QFile found(QFINDTESTDATA("data/value-changed-in-shift-jis.bin"));
    QVERIFY(found.open(QIODevice::ReadOnly));
    const QByteArray bytes = found.readAll();
    const QString value = QString::fromUtf8(bytes.left(40)).simplified();
    const QByteArray after = IniFile::withValue(bytes, "Fuzz", "Key", value);
    QCOMPARE(IniFile::lookup(after, "Fuzz", "Key").value_or(QString()), value);
    // Characters with only a look-alike in Shift_JIS move the file to UTF-8.
    const QByteArray sjis = *textcodec::encodeShiftJis(QStringLiteral("[Option_Main]\nMozPath=C:\\表示\n"));
    for (const QString& v : {QStringLiteral("/home/¥円"), QStringLiteral("a—b−c"), QStringLiteral("‖¢£¬")}) {
      QVERIFY(!textcodec::encodeShiftJis(v));
      const QByteArray out = IniFile::withValue(sjis, "Option_Main", "Folder", v);
      QVERIFY(textcodec::isValidUtf8(out));
      QCOMPARE(IniFile::lookup(out, "Option_Main", "Folder").value_or(QString()), v);
      QCOMPARE(IniFile::lookup(out, "Option_Main", "MozPath").value_or(QString()), QString("C:\\表示"));
    }
    // Characters Shift_JIS holds exactly keep the file in it.
    const QByteArray kept = IniFile::withValue(sjis, "Option_Main", "Name", QStringLiteral("表～＼"));
    QVERIFY(kept.startsWith(sjis));
    QCOMPARE(IniFile::lookup(kept, "Option_Main", "Name").value_or(QString()), QStringLiteral("表～＼"));
  }
};

QTEST_GUILESS_MAIN(TestFileSafety)
#include "test_file_safety.moc"
