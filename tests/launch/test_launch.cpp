// Starting the real program with addresses: a first start opens them, a
// later one hands its address to the running frame and ends; the socket
// between them takes no peer of another user and outlives no crash.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <future>

#include "file_util.h"
#include "http_server.h"
#include "launch/launch_rules.h"
#include "launch/single_instance.h"
#include "run_as_nobody.h"
#include "test_main.h"

namespace {

// Binds a socket at `path` and nothing more: closed, it is what a killed
// frame leaves.
int bindAt(const QByteArray& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path.constData(), sizeof addr.sun_path - 1);
  return ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 ? fd : -1;
}

// A start handing `message` over from a child process (another user's when
// asked): 0 when the frame said it took it, 1 when it closed without, 2
// when the child could not connect.
int handOverFromChild(const QByteArray& path, const QByteArray& message, bool otherUser) {
  const auto peer = [&]() -> int {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.constData(), sizeof addr.sun_path - 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return 2;
    if (::write(fd, message.constData(), message.size()) != message.size()) return 1;
    char answer[4] = {};
    for (size_t got = 0; got < 3;) {
      const ssize_t n = ::read(fd, answer + got, 3 - got);
      if (n <= 0) break;
      got += n;
    }
    return std::strcmp(answer, launch::kAccepted) == 0 ? 0 : 1;
  };
  if (otherUser) return runAsNobody(peer);
  const pid_t pid = fork();
  if (pid == 0) _exit(peer());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

QString xdotool(const QStringList& args) {
  QProcess p;
  p.start("xdotool", args);
  p.waitForFinished(10000);
  return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// The real program in a folder of its own, so config.ini is the test's,
// with Qt WebEngine's library beside it; its path, or empty.
QString installProgram(const QTemporaryDir& bin, const QByteArray& config) {
  const QString program = bin.filePath("zelvo");
  const bool ok = QFile::copy(ZELVO_TEST_PROGRAM, program) &&
                  QFile::copy(ZELVO_WEBENGINE_LIBRARY, bin.filePath("zelvo-webengine.so")) &&
                  writeRaw(bin.filePath("config.ini"), config);
  return ok ? program : QString();
}

QProcessEnvironment programEnvironment() {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
  return env;
}

void endProgram(QProcess& p) {
  p.terminate();
  if (!p.waitForFinished(20000)) p.kill();
}

}  // namespace

class TestLaunch : public QObject {
  Q_OBJECT
 private slots:
  void addressesOpenInTheOneFrame() {
    TestHttpServer server;
    for (const char* p : {"/a.html", "/b.html", "/c.html", "/d.html"})
      server.pages[p] = "<html><meta charset=utf-8><title>ページ</title><p>日本語</p></html>";
    QTemporaryDir bin;
    const QString program = installProgram(bin, "[General]\nLastEngine=IE\n");
    QVERIFY(!program.isEmpty());
    const QProcessEnvironment env = programEnvironment();

    QProcess first;
    const auto end = qScopeGuard([&] { endProgram(first); });
    first.setProcessEnvironment(env);
    first.setProcessChannelMode(QProcess::ForwardedChannels);
    first.start(program, {server.url("/a.html"), server.url("/b.html")});
    QTRY_VERIFY_WITH_TIMEOUT(server.requested.contains("/a.html") && server.requested.contains("/b.html"), 60000);

    const bool wm = !qEnvironmentVariableIsEmpty("ZELVO_WM");
    QString frame;
    if (wm) {
      // Put away, so coming to the front shows.
      frame = xdotool({"search", "--onlyvisible", "--pid", QString::number(first.processId()), "--name", "^Zelvo$"});
      QVERIFY(!frame.isEmpty());
      xdotool({"windowminimize", "--sync", frame});
    }

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(program, {server.url("/c.html")});
    QVERIFY(second.waitForFinished(30000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(server.requested.contains("/c.html"), 60000);
    QCOMPARE(first.state(), QProcess::Running);
    if (wm) QTRY_COMPARE_WITH_TIMEOUT(xdotool({"getactivewindow"}), frame, 10000);

    // Made the desktop's web browser with the program's own desktop entry, a
    // link opened elsewhere goes to the running frame.
    if (QStandardPaths::findExecutable("xdg-open").isEmpty()) QSKIP("xdg-utils is not installed");
    QTemporaryDir xdg;
    QVERIFY(QDir(xdg.path()).mkpath("data/applications") && QDir(xdg.path()).mkpath("config"));
    QByteArray entry = readAll(ZELVO_SOURCE_DIR "/resources/zelvo.desktop");
    QVERIFY(entry.contains("\nExec=zelvo %U\n"));
    QVERIFY(writeRaw(xdg.filePath("data/applications/zelvo.desktop"),
                     entry.replace("Exec=zelvo", "Exec=" + QFile::encodeName(program))));
    QProcessEnvironment desktop = env;
    desktop.insert("XDG_DATA_HOME", xdg.filePath("data"));
    desktop.insert("XDG_CONFIG_HOME", xdg.filePath("config"));
    const auto run = [&](const QString& tool, const QStringList& args) {
      QProcess p;
      p.setProcessEnvironment(desktop);
      p.start(tool, args);
      return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    };
    QVERIFY(run("xdg-settings", {"set", "default-web-browser", "zelvo.desktop"}));
    QVERIFY(run("xdg-open", {server.url("/d.html")}));
    QTRY_VERIFY_WITH_TIMEOUT(server.requested.contains("/d.html"), 60000);
    QCOMPARE(first.state(), QProcess::Running);
  }

  // Qt WebEngine is loaded the first time a window needs it: a frame that
  // starts with Gecko checked has none of it mapped, also once it has
  // readied its engine; one with Internet Explorer checked has it then.
  void webEngineLoadedOnlyWhenNeeded_data() {
    QTest::addColumn<QByteArray>("engine");
    QTest::addColumn<bool>("mapped");
    QTest::newRow("Gecko") << QByteArray("Gecko") << false;
    QTest::newRow("Internet Explorer") << QByteArray("IE") << true;
  }
  void webEngineLoadedOnlyWhenNeeded() {
    QFETCH(QByteArray, engine);
    QFETCH(bool, mapped);
    QTemporaryDir bin;
    const QString program = installProgram(bin, "[General]\nLastEngine=" + engine + "\n[Option_Main]\nMozilla=1\n");
    QVERIFY(!program.isEmpty());
    QProcess frame;
    const auto end = qScopeGuard([&] { endProgram(frame); });
    frame.setProcessEnvironment(programEnvironment());
    frame.setProcessChannelMode(QProcess::ForwardedChannels);
    frame.start(program, {});
    QVERIFY(frame.waitForStarted());
    const QString maps = QStringLiteral("/proc/%1/maps").arg(frame.processId());
    QTRY_VERIFY_WITH_TIMEOUT(readAll(maps).contains("libQt6Widgets"), 20000);
    // The checked engine is readied half a second after start-up.
    QTest::qWait(3000);
    QCOMPARE(readAll(maps).contains("libQt6WebEngineCore"), mapped);
  }

  void oneFramePerUser_data() {
    QTest::addColumn<bool>("crashedRunLeftFile");
    QTest::addColumn<bool>("otherUser");
    QTest::newRow("crashed run's socket taken over") << true << false;
    QTest::newRow("peer of another user refused") << false << true;
  }
  void oneFramePerUser() {
    QFETCH(bool, crashedRunLeftFile);
    QFETCH(bool, otherUser);
    if (otherUser && geteuid() != 0) QSKIP("needs root to be another user");
    QTemporaryDir dir;
    const QString path = dir.filePath("zelvo.sock");
    const QByteArray native = QFile::encodeName(path);
    if (crashedRunLeftFile) ::close(bindAt(native));
    launch::InstanceServer server;
    QVERIFY(server.listen(path));
    struct stat st {};
    QVERIFY(::stat(native.constData(), &st) == 0);
    QCOMPARE(st.st_mode & 0777, mode_t(0600));
    launch::InstanceServer second;
    QVERIFY(!second.listen(path));
    // Only the check on the peer stands between another user and the frame.
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0 && ::chmod(native.constData(), 0666) == 0);

    QSignalSpy received(&server, &launch::InstanceServer::addressesReceived);
    const QByteArray message = launch::encodeMessage({"https://a.example/"});
    auto answer = std::async(std::launch::async, [&] { return handOverFromChild(native, message, otherUser); });
    QTRY_VERIFY_WITH_TIMEOUT(answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready, 30000);
    QCOMPARE(answer.get(), otherUser ? 1 : 0);
    QCOMPARE(received.size(), otherUser ? 0 : 1);
  }
};

ZELVO_TEST_MAIN(TestLaunch)
#include "test_launch.moc"
