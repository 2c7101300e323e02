// Sign-in and certificates in both engines, through real child windows of
// the frame against servers inside the test: Basic sign-in with a wrong and
// a right password, Cancel showing the server's page, a window closed while
// it asks; a certificate made here refused with the Japanese page, Back,
// then let through once; and the address box's secure/insecure indicator
// following the active window.
#include <QAction>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QProcess>
#include <QPushButton>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTemporaryDir>
#include <QTest>

#include "frame_fixture.h"
#include "page/page_security.h"
#include "page_test_util.h"
#include "screenshot.h"
#include "test_main.h"

namespace {

// A self-signed certificate for 127.0.0.1, made now, so no test run trusts it.
bool makeCertificate(const QString& dir, QSslConfiguration* conf) {
  const QString key = dir + QStringLiteral("/key.pem"), cert = dir + QStringLiteral("/cert.pem");
  QProcess p;
  p.start(QStringLiteral("openssl"),
          {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert, "-days", "2", "-subj",
           "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost"});
  if (!p.waitForFinished(30000) || p.exitCode() != 0) return false;
  QFile k(key), c(cert);
  if (!k.open(QIODevice::ReadOnly) || !c.open(QIODevice::ReadOnly)) return false;
  *conf = QSslConfiguration::defaultConfiguration();
  conf->setLocalCertificate(QSslCertificate(c.readAll()));
  conf->setPrivateKey(QSslKey(k.readAll(), QSsl::Rsa));
  conf->setPeerVerifyMode(QSslSocket::VerifyNone);
  return !conf->localCertificate().isNull() && !conf->privateKey().isNull();
}

QAction* indicator(TMainForm* f) { return f->txtAddress->findChild<QAction*>(QStringLiteral("actSecurity")); }

SecurityState shownState(TMainForm* f) {
  QAction* a = indicator(f);
  return a && a->isVisible() ? static_cast<SecurityState>(a->data().toInt()) : SecurityState::None;
}

}  // namespace

class TestSecurity : public QObject {
  Q_OBJECT

  PageServer server;
  BasicPageServer<QSslServer>* tls = nullptr;
  QTemporaryDir certDir;
  FrameFixture* fx = nullptr;
  TMainForm* f = nullptr;

  TBrowserChild* open(const QString& url) {
    f->OpenChild(QString(), url);
    return f->ActiveMDIChild();
  }
  static QString engineName(TMainForm* f) { return f->IE_item->isChecked() ? "ie" : "gekko"; }

 private slots:
  void initTestCase() {
    QVERIFY(server.isListening());
    TMozillaBrowser::setHostProgramForTests(QStringLiteral(ZELVO_TEST_HOST));
    PageServer::Answer secret;
    secret.body = "<!DOCTYPE html><title>secret</title><p>入りました</p>";
    secret.signIn = "yamada:right";
    secret.realm = "Zelvo test area";
    secret.deniedBody = "<!DOCTYPE html><title>denied</title><p>認証されていません</p>";
    server.answers["/secret.html"] = secret;
    secret.realm = "Other area";
    secret.signIn = "sato:other";
    server.answers["/other.html"] = secret;
    server.answers["/plain.html"].body = "<!DOCTYPE html><title>plain</title><p>plain</p>";
  }

  void initTestCase_data() { addEngineRows(); }
  void init() {
    QFETCH_GLOBAL(QByteArray, config);
    // A new certificate for each engine, so neither remembers the other's.
    CertificateExceptions::session().clear();
    delete tls;
    tls = new BasicPageServer<QSslServer>;
    QSslConfiguration conf;
    QVERIFY(makeCertificate(certDir.path(), &conf));
    tls->setSslConfiguration(conf);
    QVERIFY(tls->isListening());
    tls->answers["/tls.html"].body = "<!DOCTYPE html><title>tls ok</title><p>暗号化されたページ</p>";
    fx = new FrameFixture;
    f = fx->startShown(config, QSize(1000, 750));
    QVERIFY(f);
  }
  void cleanup() { endFrame(fx); }
  void cleanupTestCase() { delete tls; }

  // A wrong password asks again, Cancel shows the server's 401 page, the
  // right one opens the page.
  void basicSignIn() {
    TBrowserChild* c = open(server.url("/secret.html"));
    QVERIFY(c);
    bool sawRetry = false;
    TimedSteps steps;
    steps
        .when([] { return answerableWindow<TSignInDialog>("SignInDialog"); },
              [&] {
                auto* d = visibleWindow<TSignInDialog>("SignInDialog");
                QVERIFY(d->windowTitle().contains("127.0.0.1"));
                QVERIFY(d->lblSignInMessage->text().contains("Zelvo test area"));
                QVERIFY(d->lblSignInMessage->text().contains("暗号化されずに"));  // plain http
                QCOMPARE(d->txtUserName->accessibleName(), QString("ユーザー名"));
                QCOMPARE(d->txtPassword->accessibleName(), QString("パスワード"));
                QCOMPARE(d->txtPassword->echoMode(), QLineEdit::Password);
                QCOMPARE(d->txtUserName->nextInFocusChain(), d->txtPassword);
                // Nothing is modal: the frame works on.
                QVERIFY(QApplication::activeModalWidget() == nullptr);
                d->txtUserName->setText("yamada");
                d->txtPassword->setText("wrong");
                screenshot(QStringLiteral("auth-signin-%1.png").arg(engineName(f)));
                d->btnOK->click();
              })
        .when([] { return answerableWindow<TSignInDialog>("SignInDialog"); },
              [&] {
                auto* d = visibleWindow<TSignInDialog>("SignInDialog");
                sawRetry = d->lblSignInMessage->text().contains("正しくありません");
                d->btnCancel->click();
              });
    QTRY_VERIFY_WITH_TIMEOUT(steps.done(), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QString("denied"), 20000);
    QVERIFY(sawRetry);
    QCOMPARE(pageScript(c, "document.body.innerText"), QString("認証されていません"));

    TimedSteps again;
    again.when([] { return answerableWindow<TSignInDialog>("SignInDialog"); },
               [&] {
                 auto* d = visibleWindow<TSignInDialog>("SignInDialog");
                 QVERIFY(!d->lblSignInMessage->text().contains("正しくありません"));
                 d->txtUserName->setText("yamada");
                 d->txtPassword->setText("right");
                 d->btnOK->click();
               });
    c->Control()->Navigate(server.url("/secret.html"));
    QTRY_VERIFY_WITH_TIMEOUT(again.done(), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QString("secret"), 20000);
    QCOMPARE(pageScript(c, "document.body.innerText"), QString("入りました"));
    QVERIFY(!visibleWindow<TSignInDialog>("SignInDialog"));
    QVERIFY(fx->errors.isEmpty());
  }

  // Closing the window while its sign-in is open answers Cancel; the frame
  // and the other window go on.
  void closingTheWindowCancelsItsSignIn() {
    TBrowserChild* first = open(server.url("/plain.html"));
    QTRY_COMPARE_WITH_TIMEOUT(first->windowTitle(), QString("plain"), 20000);
    QPointer<TBrowserChild> asking;
    // From a timer: the engine may hold the test's code up below its dialog.
    TimedSteps steps;
    steps.when([] { return answerableWindow<TSignInDialog>("SignInDialog"); }, [&] { asking->close(); });
    asking = open(server.url("/other.html"));
    QTRY_VERIFY_WITH_TIMEOUT(steps.done(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(asking.isNull(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!visibleWindow<TSignInDialog>("SignInDialog"), 10000);
    QCOMPARE(f->MDIChildCount(), 1);
    QCOMPARE(pageScript(first, "document.title"), QString("plain"));
    QVERIFY(fx->errors.isEmpty());
  }

  // The certificate page names the problem and the host; Back returns to
  // the page before; the continue link lets the certificate through, after
  // which the indicator shows the page as broken, and http as insecure.
  void untrustedCertificateRefusedThenAllowed() {
    TBrowserChild* c = open(server.url("/plain.html"));
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QString("plain"), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(shownState(f), SecurityState::Insecure, 10000);
    QCOMPARE(indicator(f)->toolTip(), QString("保護されていない通信"));

    const QString https = tls->url("/tls.html");
    c->Control()->Navigate(https);
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), certificatePageTitle(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(pageScript(c, "document.body.innerText").contains("証明書の発行者が信頼されていません"),
                             10000);
    QVERIFY(pageScript(c, "document.getElementById('host').textContent").startsWith("127.0.0.1"));
    QCOMPARE(pageScript(c, "document.getElementById('back').textContent"), QString("戻る"));
    QCOMPARE(f->txtAddress->text(), https);
    QCOMPARE(shownState(f), SecurityState::Broken);
    screenshot(QStringLiteral("auth-cert-%1.png").arg(engineName(f)));
    QVERIFY(!tls->requested.contains("/tls.html"));

    QVERIFY(clickElement(c, "#back"));
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QString("plain"), 20000);

    c->Control()->Navigate(https);
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), certificatePageTitle(), 20000);
    // Only the page's own link continues: a made-up one does nothing.
    pageScript(c, "location.href='zelvo:cert-proceed?t=0123';1");
    QTest::qWait(1000);
    QCOMPARE(c->windowTitle(), certificatePageTitle());
    QVERIFY(clickElement(c, "summary"));  // the way on is behind "詳細"
    QTRY_COMPARE_WITH_TIMEOUT(pageScript(c, "String(document.querySelector('details').open)"), QString("true"), 10000);
    pageScript(c, "document.getElementById('proceed').scrollIntoView();1");
    screenshot(QStringLiteral("auth-cert-details-%1.png").arg(engineName(f)));
    QVERIFY(clickElement(c, "#proceed"));
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QString("tls ok"), 20000);
    QCOMPARE(pageScript(c, "document.body.innerText"), QString("暗号化されたページ"));
    QTRY_COMPARE_WITH_TIMEOUT(shownState(f), SecurityState::Broken, 10000);
    QVERIFY(indicator(f)->toolTip().contains("証明書に問題があります"));

    // The indicator follows the active window.
    TBrowserChild* plain = open(server.url("/plain.html"));
    QTRY_COMPARE_WITH_TIMEOUT(plain->windowTitle(), QString("plain"), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(shownState(f), SecurityState::Insecure, 10000);
    f->ActivateChild(c);
    QTRY_COMPARE_WITH_TIMEOUT(shownState(f), SecurityState::Broken, 10000);
    plain->close();
    c->close();
    QTRY_COMPARE_WITH_TIMEOUT(f->MDIChildCount(), 0, 20000);
    QCOMPARE(shownState(f), SecurityState::None);
    QVERIFY(fx->errors.isEmpty());
  }
};

ZELVO_TEST_MAIN(TestSecurity)
#include "test_security.moc"
