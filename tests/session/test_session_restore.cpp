// The open windows outlive the program: the real program, driven with X
// keys, is killed with SIGKILL; the next start offers its windows and brings
// them back with Back working, in each engine; a window closed by mistake
// comes back with Ctrl+Shift+T, its history with it.
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "frame_fixture.h"
#include "http_server.h"
#include "page_test_util.h"
#include "platform/atomic_file.h"
#include "session/session_record.h"
#include "session/session_store.h"
#include "test_main.h"

namespace {

bool xdotool(const QStringList& args) { return QProcess::execute(QStringLiteral("xdotool"), args) == 0; }

// The record the folder holds now (an empty one while there is none).
session::Record recorded(const QString& folder) {
  QByteArray bytes;
  if (readRegularFile(folder + QStringLiteral("/session.json"), &bytes) != FileRead::Ok) return {};
  return session::parse(bytes).value_or(session::Record{});
}

bool showsPage(const session::Record& r, const QString& url) {
  return r.windows.size() == 1 && r.windows[0].url == url && !r.windows[0].history.isEmpty();
}

}  // namespace

class TestSessionRestore : public QObject {
  Q_OBJECT

  TestHttpServer server;
  FrameFixture* fx = nullptr;
  std::unique_ptr<QTemporaryDir> home;
  std::unique_ptr<QProcess> program;

  QString dataFolder() const { return home->path() + QStringLiteral("/data/zelvo"); }

  // The program, copied with its host into a folder of its own (its
  // settings live beside it), opens `first` and then `second` in one window
  // as a user would type them, and is killed once its record holds both.
  void runAndKill(const QByteArray& config, const QString& first, const QString& second) {
    const QString bin = home->path() + QStringLiteral("/bin");
    QVERIFY(QDir().mkpath(bin));
    QVERIFY(QFile::copy(QStringLiteral(ZELVO_PROGRAM), bin + QStringLiteral("/zelvo")));
    QVERIFY(QFile::copy(QStringLiteral(ZELVO_TEST_HOST), bin + QStringLiteral("/zelvo-webkit-host")));
    QVERIFY(QFile::copy(QStringLiteral(ZELVO_WEBENGINE_LIBRARY), bin + QStringLiteral("/zelvo-webengine.so")));
    QFile ini(bin + QStringLiteral("/config.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(config);
    ini.close();

    program = std::make_unique<QProcess>();
    program->setProcessChannelMode(QProcess::ForwardedChannels);
    program->start(bin + QStringLiteral("/zelvo"));
    QVERIFY(program->waitForStarted());
    const QString mark = dataFolder() + QStringLiteral("/running");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(mark), 30000);
    for (const QString& url : {first, second}) {
      QTRY_VERIFY_WITH_TIMEOUT(
          xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                   QString::number(program->processId()), QStringLiteral("--name"), QStringLiteral("^Zelvo$"),
                   QStringLiteral("windowfocus"), QStringLiteral("--sync")}),
          20000);
      QVERIFY(
          xdotool({QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("60"), QStringLiteral("ctrl+l")}));
      QVERIFY(xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), url}));
      QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
      QTRY_VERIFY_WITH_TIMEOUT(showsPage(recorded(dataFolder()), url), 30000);
    }
    ::kill(pid_t(program->processId()), SIGKILL);
    QVERIFY(program->waitForFinished(10000));
    QVERIFY(QFile::exists(mark));
  }

  TMainForm* start(const QByteArray& config) {
    fx = new FrameFixture;
    return fx->startShown(config, QSize(1000, 700));
  }

  static bool shows(TBrowserChild* c, const QString& url) { return c && c->Control()->LocationURL() == url; }

 private slots:
  void initTestCase() {
    QVERIFY(server.isListening());
    TMozillaBrowser::setHostProgramForTests(QStringLiteral(ZELVO_TEST_HOST));
    server.pages["/one.html"] = "<!DOCTYPE html><meta charset=utf-8><title>一つ目</title><p>最初のページ</p>";
    server.pages["/two.html"] = "<!DOCTYPE html><meta charset=utf-8><title>二つ目</title><p>次のページ</p>";
  }

  void init() {
    home = std::make_unique<QTemporaryDir>();
    qputenv("XDG_DATA_HOME", (home->path() + QStringLiteral("/data")).toUtf8());
  }

  void cleanup() {
    if (program) {
      program->kill();
      program->waitForFinished(5000);
    }
    program.reset();
    endFrame(fx);
    home.reset();
  }

  void killedAndRestored_data() { addEngineRows(); }
  void killedAndRestored() {
    QFETCH(QByteArray, config);
    const QString one = server.url("/one.html"), two = server.url("/two.html");
    runAndKill(config, one, two);
    if (QTest::currentTestFailed()) return;

    TMainForm* f = start(config);
    QVERIFY(f);
    QCOMPARE(f->MDIChildCount(), 0);
    QVERIFY(f->SessionBar->isVisible());
    auto* restore = f->SessionBar->findChild<QPushButton*>(QStringLiteral("SessionBarRestore"));
    QVERIFY(restore);
    restore->click();
    QTRY_COMPARE_WITH_TIMEOUT(f->MDIChildCount(), 1, 10000);
    QVERIFY(!f->SessionBar->isVisible());
    TBrowserChild* c = f->ActiveMDIChild();
    QTRY_VERIFY_WITH_TIMEOUT(shows(c, two) && c->windowTitle() == QStringLiteral("二つ目"), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(c->BackEnable != TBrowserChild::kFalse, 10000);
    f->BackCtrlClick();
    QTRY_VERIFY_WITH_TIMEOUT(shows(c, one) && c->windowTitle() == QStringLiteral("一つ目"), 30000);

    // Closed by mistake, and back with Ctrl+Shift+T where it was, its
    // next page still ahead.
    QVERIFY(!f->mnuFile_Reopen->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(showsPage(recorded(dataFolder()), one), 10000);
    c->close();
    QTRY_COMPARE_WITH_TIMEOUT(f->MDIChildCount(), 0, 10000);
    QVERIFY(f->mnuFile_Reopen->isEnabled());
    f->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f));
    QTest::keySequence(f, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T));
    QTRY_COMPARE_WITH_TIMEOUT(f->MDIChildCount(), 1, 10000);
    c = f->ActiveMDIChild();
    QTRY_VERIFY_WITH_TIMEOUT(shows(c, one), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(c->FrwrdEnable != TBrowserChild::kFalse, 10000);
    f->FrwrdCtrlClick();
    QTRY_VERIFY_WITH_TIMEOUT(shows(c, two), 30000);
    QVERIFY(!f->mnuFile_Reopen->isEnabled());
    QVERIFY(fx->errors.isEmpty());
  }

  // A record cut short by a full disk: the start goes on, the user hears
  // of it, and the file is kept aside rather than read again or lost.
  void damagedRecordSetAside() {
    QVERIFY(QDir().mkpath(dataFolder()));
    const QByteArray cut = "{\"format\":1,\"windows\":[{\"engine\":\"ie\",\"url\":\"http://a/\"";
    QVERIFY(atomicReplaceFile(dataFolder() + QStringLiteral("/session.json"), cut));
    TMainForm* f = start("[General]\nLastEngine=IE\n");
    QVERIFY(f);
    QCOMPARE(fx->errors.size(), 1);
    QVERIFY(fx->errors[0].contains(QStringLiteral("session.json")));
    const QStringList aside = QDir(dataFolder()).entryList({QStringLiteral("session.json.damaged-*")}, QDir::Files);
    QCOMPARE(aside.size(), 1);
    QByteArray kept;
    QCOMPARE(readRegularFile(dataFolder() + u'/' + aside[0], &kept), FileRead::Ok);
    QCOMPARE(kept, cut);
    QVERIFY(!f->SessionBar->isVisible());
    f->mnuFile_RestoreClick();
    QCOMPARE(f->MDIChildCount(), 0);
  }
};

ZELVO_TEST_MAIN(TestSessionRestore)
#include "test_session_restore.moc"
