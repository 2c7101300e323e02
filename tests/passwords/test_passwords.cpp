// Saved passwords in both engines against a real Secret Service started for
// the test in a D-Bus session of its own: a login form submitted offers to
// save in a bar, and the saved password fills the form on the next visit of
// the same site but not of another port; a sign-in saved from the dialog
// fills the dialog of the next sign-in of the same site.
#include <signal.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "frame_fixture.h"
#include "page/page_security.h"
#include "page_test_util.h"
#include "passwords/password_bar.h"
#include "passwords/password_store.h"
#include "screenshot.h"
#include "test_main.h"

namespace {

const QByteArray kLogin =
    "<!DOCTYPE html><title>login</title><form method=post action=/done.html>"
    "<input type=hidden name=token value=t1><input type=text name=decoy style=display:none>"
    "<input id=user type=text name=user><input id=pw type=password name=pw><button>ログイン</button></form>";

// The passwords saved for one origin, asked of the store and waited for.
QList<passwords::Credential> saved(const QString& origin, passwords::Kind kind) {
  QList<passwords::Credential> out;
  bool done = false;
  QObject context;
  passwords::PasswordStore::instance().find(origin, kind, &context,
                                            [&](const QList<passwords::Credential>& found, const QString&) {
                                              out = found;
                                              done = true;
                                            });
  QTest::qWaitFor([&] { return done; }, 20000);
  return out;
}

}  // namespace

class TestPasswords : public QObject {
  Q_OBJECT

  QTemporaryDir home;
  QProcess keyring;
  qint64 busPid = 0;
  PageServer* server = nullptr;
  PageServer* otherPort = nullptr;
  FrameFixture* fx = nullptr;
  TMainForm* f = nullptr;

  TBrowserChild* open(const QString& url) {
    f->OpenChild(QString(), url);
    return f->ActiveMDIChild();
  }
  QString field(TBrowserChild* c, const char* id) {
    return pageScript(c, QStringLiteral("document.getElementById('%1').value").arg(id));
  }

 private slots:
  void initTestCase() {
    QVERIFY(home.isValid());
    // The keyring and the never-list live in this run's own folders.
    for (const char* sub : {"data", "run"}) QVERIFY(QDir(home.path()).mkpath(sub));
    QFile::setPermissions(home.filePath("run"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
    qputenv("XDG_RUNTIME_DIR", home.filePath("run").toUtf8());
    QProcess bus;
    bus.start("dbus-daemon", {"--session", "--fork", "--print-address=1", "--print-pid=1"});
    QVERIFY(bus.waitForFinished(10000));
    const QList<QByteArray> lines = bus.readAllStandardOutput().trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    qputenv("DBUS_SESSION_BUS_ADDRESS", lines[0].trimmed());
    busPid = lines[1].trimmed().toLongLong();
    keyring.start("gnome-keyring-daemon", {"--foreground", "--unlock", "--components=secrets"});
    QVERIFY(keyring.waitForStarted(10000));
    keyring.write("zelvo-test-password");
    keyring.closeWriteChannel();
    // Asked of the bus itself: a call to the service would start one of
    // the bus's own, without the test's keyring.
    const auto ours = [] {
      QProcess p;
      p.start("dbus-send", {"--session", "--dest=org.freedesktop.DBus", "--print-reply", "/org/freedesktop/DBus",
                            "org.freedesktop.DBus.NameHasOwner", "string:org.freedesktop.secrets"});
      return p.waitForFinished(5000) && p.readAllStandardOutput().contains("boolean true");
    };
    QTRY_VERIFY_WITH_TIMEOUT(ours(), 20000);
    TMozillaBrowser::setHostProgramForTests(QStringLiteral(ZELVO_TEST_HOST));
  }
  void cleanupTestCase() {
    keyring.kill();
    keyring.waitForFinished();
    if (busPid > 0) ::kill(static_cast<pid_t>(busPid), SIGTERM);
  }

  void initTestCase_data() { addEngineRows(); }
  void init() {
    QFETCH_GLOBAL(QByteArray, config);
    // Servers on new ports for each engine: nothing saved by the other.
    delete server;
    delete otherPort;
    server = new PageServer;
    otherPort = new PageServer;
    for (PageServer* s : {server, otherPort}) {
      QVERIFY(s->isListening());
      s->answers["/login.html"].body = kLogin;
      s->answers["/done.html"].body = "<!DOCTYPE html><title>done</title><p>ようこそ</p>";
      PageServer::Answer secret;
      secret.body = "<!DOCTYPE html><title>secret</title><p>入りました</p>";
      secret.signIn = "yamada:right";
      secret.realm = "Zelvo test area";
      secret.deniedBody = "<!DOCTYPE html><title>denied</title>";
      s->answers["/a/secret.html"] = secret;
      secret.realm = "Other area";
      s->answers["/b/secret.html"] = secret;
    }
    fx = new FrameFixture;
    f = fx->startShown(config, QSize(1000, 750));
    QVERIFY(f);
  }
  void cleanup() { endFrame(fx); }

  void formPasswordFillsTheNextVisit() {
    TBrowserChild* c = open(server->url("/login.html"));
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QString("login"), 20000);
    pageScript(c,
               "document.getElementById('user').value = 'yamada';"
               "document.getElementById('pw').value = 's3cret';"
               "document.forms[0].requestSubmit(); 'sent'");
    auto* bar = c->findChild<TPasswordBar*>("PasswordBar");
    QVERIFY(bar);
    QTRY_VERIFY_WITH_TIMEOUT(bar->isVisible() && bar->btnSavePassword->isVisible(), 20000);
    QVERIFY(bar->lblPasswordBar->text().contains("yamada"));
    // The bar takes its strip above the page, which is not covered.
    QVERIFY(c->Control()->geometry().top() >= bar->geometry().bottom());
    screenshot(QStringLiteral("password-bar-%1.png").arg(f->IE_item->isChecked() ? "ie" : "gekko"));
    bar->btnSavePassword->click();
    QVERIFY(!bar->isVisible());
    const QString origin = passwords::originOf(server->url("/"));
    QTRY_COMPARE_WITH_TIMEOUT(saved(origin, passwords::Kind::Form).size(), 1, 20000);
    const passwords::Credential s = saved(origin, passwords::Kind::Form).first();
    QCOMPARE(s.user, QString("yamada"));
    QCOMPARE(s.password, QString("s3cret"));

    // Another port is another site: opened first, it must still be empty
    // once the same site's form has been filled.
    TBrowserChild* other = open(otherPort->url("/login.html"));
    QTRY_COMPARE_WITH_TIMEOUT(other->windowTitle(), QString("login"), 20000);
    TBrowserChild* again = open(server->url("/login.html"));
    QTRY_COMPARE_WITH_TIMEOUT(field(again, "pw"), QString("s3cret"), 20000);
    QCOMPARE(field(again, "user"), QString("yamada"));
    QCOMPARE(field(other, "pw"), QString());
    QCOMPARE(field(other, "user"), QString());

    // "Never for this site" is kept for that site, and nothing is saved.
    pageScript(other,
               "document.getElementById('user').value = 'sato';"
               "document.getElementById('pw').value = 'other';"
               "document.forms[0].requestSubmit(); 'sent'");
    auto* otherBar = other->findChild<TPasswordBar*>("PasswordBar");
    QTRY_VERIFY_WITH_TIMEOUT(otherBar->isVisible() && otherBar->btnNeverForSite->isVisible(), 20000);
    otherBar->btnNeverForSite->click();
    const QString otherOrigin = passwords::originOf(otherPort->url("/"));
    QVERIFY(passwords::never_sites::contains(otherOrigin));
    QVERIFY(!passwords::never_sites::contains(origin));
    QVERIFY(saved(otherOrigin, passwords::Kind::Form).isEmpty());
    QVERIFY(fx->errors.isEmpty());
  }

  void signInPasswordFillsTheNextSignIn() {
    TBrowserChild* c = open(server->url("/a/secret.html"));
    TimedSteps steps;
    steps.when([] { return answerableWindow<TSignInDialog>("SignInDialog"); },
               [&] {
                 auto* d = visibleWindow<TSignInDialog>("SignInDialog");
                 QTRY_VERIFY_WITH_TIMEOUT(d->chkSavePassword->isVisible(), 20000);
                 QCOMPARE(d->chkSavePassword->text(), QString("このパスワードを保存する"));
                 QVERIFY(d->txtUserName->text().isEmpty());
                 d->txtUserName->setText("yamada");
                 d->txtPassword->setText("right");
                 d->chkSavePassword->setChecked(true);
                 d->btnOK->click();
               });
    QTRY_VERIFY_WITH_TIMEOUT(steps.done(), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QString("secret"), 20000);
    const QString origin = passwords::originOf(server->url("/"));
    QTRY_COMPARE_WITH_TIMEOUT(saved(origin, passwords::Kind::Http).size(), 1, 20000);

    // Another realm of the same site, in a folder the engines send no
    // sign-in to unasked, asks again: the dialog comes filled.
    TBrowserChild* next = open(server->url("/b/secret.html"));
    TimedSteps filled;
    filled.when([] { return answerableWindow<TSignInDialog>("SignInDialog"); },
                [&] {
                  auto* d = visibleWindow<TSignInDialog>("SignInDialog");
                  QTRY_COMPARE_WITH_TIMEOUT(d->txtPassword->text(), QString("right"), 20000);
                  QCOMPARE(d->txtUserName->text(), QString("yamada"));
                  d->btnOK->click();
                });
    QTRY_VERIFY_WITH_TIMEOUT(filled.done(), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(next->windowTitle(), QString("secret"), 20000);
    QVERIFY(fx->errors.isEmpty());
  }
};

ZELVO_TEST_MAIN(TestPasswords)
#include "test_passwords.moc"
