// The folder chooser's display-free parts: placement, browse flags, special
// folders and the shell-folder service's handling of awkward names.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "options/browse_options.h"
#include "options/placement.h"
#include "platform/shell_folders.h"

using namespace shell;

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
