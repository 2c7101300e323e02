// The folder chooser's display-free parts: placement, browse flags, special
// folders and the shell-folder service's handling of awkward names.
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "options/browse_options.h"
#include "options/placement.h"
#include "platform/shell_folders.h"

using namespace shell;

namespace {
bool isDirOnDisk(const QByteArray& path) {
  struct stat st {};
  return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Holds readers until it is opened, as a hung mount holds a listing.
struct Gate {
  std::mutex m;
  std::condition_variable cv;
  bool open = false;
  void wait() {
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [this] { return open; });
  }
  void release() {
    {
      const std::lock_guard<std::mutex> lock(m);
      open = true;
    }
    cv.notify_all();
  }
};
}  // namespace

class TestShellPlacement : public QObject {
  Q_OBJECT
 private slots:
  void centerOnWorkArea() {
    // The worked figure: a 1024 x 738 work area and a 300 x 400 dialog.
    QCOMPARE(placement::centerOnWorkArea(QRect(17, 40, 300, 400), QRect(0, 0, 1024, 738)), QPoint(362, 112));
    // Truncation toward zero, also when the dialog is larger than the area.
    QCOMPARE(placement::centerOnWorkArea(QRect(0, 0, 301, 401), QRect(0, 0, 1024, 738)), QPoint(361, 112));
    QCOMPARE(placement::centerOnWorkArea(QRect(0, 0, 1100, 800), QRect(0, 0, 1024, 738)), QPoint(-38, -20));
    // A work area below a top panel keeps the dialog in the area.
    QCOMPARE(placement::centerOnWorkArea(QRect(0, 0, 300, 400), QRect(0, 30, 1024, 738)), QPoint(362, 142));
    // No work area: no move.
    QVERIFY(!placement::centerOnWorkArea(QRect(0, 0, 300, 400), std::nullopt));
  }

  void moveToOwnerClient() {
    QCOMPARE(placement::moveToOwnerClient(QRect(500, 500, 320, 380), QPoint(254, 196)), QRect(254, 196, 320, 380));
  }

  void browseFlags_data() {
    QTest::addColumn<quint8>("bits");
    QTest::addColumn<unsigned>("flags");
    QTest::addColumn<bool>("showPath");
    auto bit = [](TSHBrowseOption o) { return quint8(1u << o); };
    QTest::newRow("default") << TSHBrowseOptions{sboReturnOnlyFSDirs}.bits() << 1u << false;
    QTest::newRow("none") << quint8(0) << 0u << false;
    QTest::newRow("domain") << bit(sboDontGoBelowDomain) << 2u << false;
    QTest::newRow("ancestors") << bit(sboReturnFSAncestors) << 8u << false;
    QTest::newRow("status") << bit(sboStatusText) << 4u << false;
    QTest::newRow("path") << bit(sboStatusTextAndShowPath) << 4u << true;
    QTest::newRow("both status") << quint8(bit(sboStatusTextAndShowPath) | bit(sboStatusText)) << 4u << true;
    QTest::newRow("all") << quint8(0x1f) << 15u << true;
  }
  void browseFlags() {
    QFETCH(quint8, bits);
    QFETCH(unsigned, flags);
    QFETCH(bool, showPath);
    const auto f = shbffex::browseFlags(TSHBrowseOptions::fromBits(bits));
    QCOMPARE(f.flags, flags);
    QCOMPARE(f.showPath, showPath);
  }

  void specialFolderMapping() {
    const int expected[] = {0, 0, 17, 16, 6, 2, 8, 9, 11, 7, 21};
    for (int i = 0; i <= rfTemplates; ++i) QCOMPARE(shbffex::csidlOf(i), expected[i]);
    QCOMPARE(shbffex::csidlOf(200), CSIDL_DESKTOP);
    QCOMPARE(specialFolderId(CSIDL_DESKTOP), desktopId());
    QCOMPARE(specialFolderId(CSIDL_DRIVES), drivesId());
    for (int c : {CSIDL_DESKTOPDIRECTORY, CSIDL_FAVORITES, CSIDL_PROGRAMS, CSIDL_RECENT, CSIDL_SENDTO, CSIDL_STARTMENU,
                  CSIDL_STARTUP, CSIDL_TEMPLATES})
      QVERIFY2(QDir::isAbsolutePath(specialFolderId(c)), qPrintable(specialFolderId(c)));
    QVERIFY(specialFolderId(CSIDL_STARTUP).endsWith(QLatin1String("/autostart")));
    QCOMPARE(specialFolderId(CSIDL_PROGRAMS), specialFolderId(CSIDL_STARTMENU));
  }

  void parseAwkwardNames() {
    QTemporaryDir tmp;
    const QString dir = tmp.path() + QStringLiteral("/フォルダ");
    QVERIFY(QDir().mkpath(dir));
    QFile f(tmp.path() + QStringLiteral("/file.txt"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();

    QCOMPARE(parsePath(dir + QStringLiteral("/../フォルダ/")), dir);
    QCOMPARE(parsePath(f.fileName()), f.fileName());  // parses, but is no folder
    QVERIFY(!isFolder(f.fileName()));
    QVERIFY(isFolder(dir));
    QVERIFY(!parsePath(QString()));
    QVERIFY(!parsePath(QStringLiteral("relative/dir")));
    QVERIFY(!parsePath(tmp.path() + QStringLiteral("/missing")));
    QVERIFY(!parsePath(tmp.path() + QChar(u'\0') + QStringLiteral("x")));
    const QString broken = QString::fromUtf8("/tmp/\xff\xfe-broken");
    QVERIFY(!parsePath(broken));
  }

  void namespaceTree() {
    QTemporaryDir tmp;
    QVERIFY(QDir().mkpath(tmp.path() + QStringLiteral("/b/inner")));
    QVERIFY(QDir().mkpath(tmp.path() + QStringLiteral("/a")));
    QVERIFY(QDir().mkpath(tmp.path() + QStringLiteral("/.hidden")));
    QCOMPARE(subfolders(tmp.path()), (QStringList{tmp.path() + "/a", tmp.path() + "/b"}));
    QVERIFY(hasSubfolders(tmp.path() + "/b"));
    QVERIFY(!hasSubfolders(tmp.path() + "/a"));
    QVERIFY(subfolders(tmp.path() + "/missing").isEmpty());

    const QStringList top = subfolders(desktopId());
    QVERIFY(top.contains(QDir::cleanPath(QDir::homePath())));
    QCOMPARE(top.last(), drivesId());
    QVERIFY(subfolders(drivesId()).contains(QStringLiteral("/")));
    QCOMPARE(displayName(desktopId()), QStringLiteral("デスクトップ"));
    QCOMPARE(displayName(tmp.path() + "/b/inner"), QStringLiteral("inner"));

    QVERIFY(isAncestor(desktopId(), tmp.path()));
    QVERIFY(isAncestor(drivesId(), tmp.path()));
    QVERIFY(isAncestor(QStringLiteral("/"), tmp.path()));
    QVERIFY(isAncestor(tmp.path(), tmp.path() + "/b/inner"));
    QVERIFY(!isAncestor(tmp.path() + "/b", tmp.path() + "/bb"));
    QVERIFY(!isAncestor(tmp.path(), drivesId()));
  }

  void whatOkMayTake() {
    const QString dir = QStringLiteral("/tmp");
    // Only folders with a path.
    for (unsigned flags : {BIF_RETURNONLYFSDIRS, BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS}) {
      QVERIFY(okAllowed(dir, flags));
      QVERIFY(!okAllowed(desktopId(), flags));
      QVERIFY(!okAllowed(drivesId(), flags));
    }
    // File-system ancestors: the desktop and the computer hold folders.
    for (unsigned flags : {BIF_RETURNFSANCESTORS, 0u, BIF_STATUSTEXT})
      for (const QString& id : {dir, desktopId(), drivesId()}) QVERIFY(okAllowed(id, flags));
    QVERIFY(!okAllowed(QString(), BIF_RETURNFSANCESTORS));
    QVERIFY(!okAllowed(QString(), 0));
  }

  void serviceAllocatesAndFreesEveryId() {
    ShellFolders s;
    Malloc* m = s.GetMalloc();
    QVERIFY(m);
    PItemIDList drives = s.GetSpecialFolderLocation(CSIDL_DRIVES);
    QVERIFY(drives);
    QVERIFY(!s.GetPathFromIDList(drives));
    QCOMPARE(s.GetAttributesOf(drives, SFGAO_FOLDER | SFGAO_HASSUBFOLDER), SFGAO_FOLDER | SFGAO_HASSUBFOLDER);
    PItemIDList root = s.ParseDisplayName(QStringLiteral("/"));
    QCOMPARE(s.GetPathFromIDList(root), QStringLiteral("/"));
    QVERIFY(!s.ParseDisplayName(QStringLiteral("/no/such/folder/here")));
    char* buf = m->Alloc(260);
    QCOMPARE(m->liveCount(), 3);
    m->Free(drives);
    m->Free(root);
    m->Free(buf);
    m->Free(nullptr);
    m->Free(buf);  // twice: ignored
    QCOMPARE(m->liveCount(), 0);
  }

  void pathBytesRoundTrip() {
    // Every byte string comes back as it was, names that are no text included.
    QList<QByteArray> samples{"/tmp/plain",
                              "/tmp/\xff\xfe",
                              "/tmp/\x83\x65\x83\x58\x83\x67",  // Shift_JIS
                              "/tmp/\xc3\x28",                  // cut sequence
                              "/tmp/\xe3\x81",                  // cut at the end
                              "/tmp/\xc0\xaf",                  // overlong '/'
                              "/tmp/\xed\xa0\x80",              // a surrogate
                              "/tmp/\xee\xbe\x80",              // U+EF80, kept for bytes
                              "/tmp/\xf0\x9f\x98\x80",          // beyond the BMP
                              "/tmp/\xf4\x90\x80\x80"};         // beyond U+10FFFF
    for (int b = 1; b < 256; ++b) samples << QByteArray(1, char(b));
    QRandomGenerator rng(13);
    for (int i = 0; i < 2000; ++i) {
      QByteArray r(1 + int(rng.bounded(12)), '\0');
      for (char& c : r) c = char(1 + rng.bounded(255));
      samples << r;
    }
    for (const QByteArray& bytes : samples) {
      const QString text = decodePath(bytes);
      QCOMPARE(encodePath(text), bytes);
      QCOMPARE(decodePath(encodePath(text)), text);
      // Shown without the stand-in characters.
      for (QChar c : displayPath(text)) QVERIFY(c.unicode() < 0xEF80 || c.unicode() > 0xEFFF);
    }
    // Valid names read as the text they are, so settings keep plain text.
    const QString japanese = QStringLiteral("/home/ユーザー/フォルダ 😀");
    QCOMPARE(decodePath(japanese.toUtf8()), japanese);
    QCOMPARE(encodePath(japanese), japanese.toUtf8());
    QCOMPARE(displayPath(decodePath("/a/\xff\xfe")), QString::fromUtf8("/a/\xef\xbf\xbd\xef\xbf\xbd"));
    QVERIFY(decodePath("\xee\xbe\x80") != QString::fromUtf8("\xee\xbe\x80"));
  }

  void foldersNamedInNoText() {
    QTemporaryDir tmp;
    const QByteArray base = QFile::encodeName(tmp.path());
    const QList<QByteArray> raw{base + "/\xff\xfe", base + "/\x83\x65\x83\x58\x83\x67", base + "/ok"};
    for (const QByteArray& r : raw) QVERIFY(::mkdir(r.constData(), 0700) == 0);
    QVERIFY(::mkdir((raw[0] + "/in").constData(), 0700) == 0);
    const QStringList listed = subfolders(tmp.path());
    QCOMPARE(listed.size(), 3);
    QList<QByteArray> back;
    for (const QString& id : listed) {
      back << encodePath(id);
      QVERIFY(isDirOnDisk(back.last()));
      QVERIFY(isFolder(id));
      QCOMPARE(parsePath(id), id);
    }
    std::sort(back.begin(), back.end());
    QList<QByteArray> expected = raw;
    std::sort(expected.begin(), expected.end());
    QCOMPARE(back, expected);
    QVERIFY(hasSubfolders(decodePath(raw[0])));
    QVERIFY(!hasSubfolders(decodePath(raw[2])));
    QCOMPARE(displayName(decodePath(raw[0])), QString::fromUtf8("\xef\xbf\xbd\xef\xbf\xbd"));
    // Qt's own removal does not see such names.
    ::rmdir((raw[0] + "/in").constData());
    for (const QByteArray& r : raw) ::rmdir(r.constData());
  }

  void mountTable() {
    const QByteArray table =
        "proc /proc proc rw 0 0\n"
        "sysfs /sys sysfs rw 0 0\n"
        "/dev/sda2 /home ext4 rw 0 0\n"
        "/dev/vda / ext4 rw 0 0\n"
        "server:/export /mnt/net\\040share nfs4 rw 0 0\n"
        "tmpfs /run tmpfs rw 0 0\n"
        "tmpfs /run/user/1000 tmpfs rw 0 0\n"
        "gvfsd-fuse /run/user/1000/gvfs fuse.gvfsd-fuse rw 0 0\n"
        "portal /run/user/1000/doc fuse.portal rw 0 0\n"
        "/dev/sdb1 /run/media/user/USB vfat rw 0 0\n"
        "cgroup2 /sys/fs/cgroup cgroup2 rw 0 0\n"
        "tmpfs /dev/shm tmpfs rw 0 0\n"
        "/dev/sda2 /home ext4 rw 0 0\n"
        "broken-line\n";
    QCOMPARE(mountPointsIn(table),
             (QStringList{"/", "/home", "/mnt/net share", "/run/media/user/USB", "/run/user/1000/gvfs"}));
    QCOMPARE(mountPointsIn(QByteArray()), QStringList{"/"});
    QVERIFY(mountPoints().contains(QStringLiteral("/")));
  }

  void wayDownWithoutListing() {
    const QString home = QDir::cleanPath(QDir::homePath());
    QCOMPARE(stepToward(desktopId(), home + "/a/b"), home);
    QCOMPARE(stepToward(desktopId(), drivesId()), drivesId());
    QCOMPARE(stepToward(desktopId(), QStringLiteral("/nowhere-near-home/x")), drivesId());
    QCOMPARE(stepToward(drivesId(), QStringLiteral("/")), QStringLiteral("/"));
    QCOMPARE(stepToward(QStringLiteral("/"), QStringLiteral("/usr/share")), QStringLiteral("/usr"));
    QCOMPARE(stepToward(QStringLiteral("/usr"), QStringLiteral("/usr/share/doc")), QStringLiteral("/usr/share"));
    QVERIFY(stepToward(QStringLiteral("/usr"), QStringLiteral("/usr")).isEmpty());
    QVERIFY(stepToward(QStringLiteral("/usr"), QStringLiteral("/var")).isEmpty());
    // A folder before the computer, the closest folder before a wider one.
    QCOMPARE(closestAncestor({drivesId(), "/a", "/a/b", "/ab"}, "/a/b/c"), QStringLiteral("/a/b"));
    QCOMPARE(closestAncestor({drivesId(), "/a"}, "/z"), drivesId());
    QVERIFY(closestAncestor({"/a", QString()}, "/z").isEmpty());
  }

  void readsRunOffTheCallersThread() {
    QTemporaryDir tmp;
    QVERIFY(QDir().mkpath(tmp.path() + "/a"));
    auto gate = std::make_shared<Gate>();
    auto token = std::make_shared<int>(0);
    std::mutex m;
    QStringList heard;
    {
      FolderReads reads(
          [gate, token](const QString& id, bool withHidden) {
            if (id.endsWith(QLatin1String("/hung"))) gate->wait();
            return subfolders(id, withHidden);
          },
          [&](const QString& id, bool withHidden, const QStringList& listed) {
            const std::lock_guard<std::mutex> lock(m);
            heard << id + (withHidden ? "+" : "-") + listed.join(u',');
          });
      reads.start(tmp.path() + "/hung", false);  // returns although this read hangs
      reads.start(tmp.path(), true);
      QTRY_VERIFY([&] {
        const std::lock_guard<std::mutex> lock(m);
        return !heard.isEmpty();
      }());
      const std::lock_guard<std::mutex> lock(m);
      QCOMPARE(heard, QStringList{tmp.path() + "+" + tmp.path() + "/a"});
    }
    // Gone with a read still hung: it ends later, and nobody hears it.
    gate->release();
    QTRY_COMPARE(token.use_count(), 1L);
    const std::lock_guard<std::mutex> lock(m);
    QCOMPARE(heard.size(), 1);
  }

  void missingSpecialFolderHasNoLocation() {
    qputenv("XDG_CONFIG_HOME", QByteArray("/nonexistent-zelvo-config"));
    ShellFolders s;
    QVERIFY(!s.GetSpecialFolderLocation(CSIDL_STARTUP));
    QCOMPARE(s.GetMalloc()->liveCount(), 0);
    qunsetenv("XDG_CONFIG_HOME");
  }
};

QTEST_GUILESS_MAIN(TestShellPlacement)
#include "test_shell_placement.moc"
