// Sign-in texts, certificate problems and exceptions, the certificate
// page's links, and the secure/insecure state, without a display.
#include <QTest>

#include "page/security_rules.h"

class TestSecurityRules : public QObject {
  Q_OBJECT
 private slots:
  void signInNamesTheSiteAndRealm() {
    SignInRequest r{"example.org", 8080, "http", "社内<b>ポータル</b>", false, false};
    QCOMPARE(signInSite(r), QString("example.org:8080"));
    const QString text = signInMessage(r);
    QVERIFY(text.contains("example.org:8080 にログイン"));
    QVERIFY(text.contains("「社内<b>ポータル</b>」"));  // the label shows it as plain text
    QVERIFY(text.contains("暗号化されずに"));
    r.port = 443;
    r.scheme = "https";
    r.retry = true;
    QCOMPARE(signInSite(r), QString("example.org"));
    QVERIFY(!signInMessage(r).contains("暗号化されずに"));
    QVERIFY(signInMessage(r).startsWith("ユーザー名またはパスワードが正しくありません"));
    r.proxy = true;
    r.host = "proxy.example";
    r.port = 3128;
    QVERIFY(signInMessage(r).contains("プロキシ proxy.example:3128"));
    // International host names read as the address box shows them.
    QCOMPARE(signInSite({"xn--wgv71a119e.jp", -1, "https", {}, false, false}), QString("日本語.jp"));
  }

  void retriesAreTheSameRequestAfterAnAcceptedAnswer() {
    SignInRetries retries;
    const SignInRequest a{"example.org", -1, "http", "A", false, false};
    const SignInRequest b{"example.org", -1, "http", "B", false, false};
    QVERIFY(!retries.isRetry(a));
    retries.answered(a, true);
    QVERIFY(retries.isRetry(a));
    QVERIFY(!retries.isRetry(b));
    retries.answered(a, false);  // cancelled: the next ask is fresh
    QVERIFY(!retries.isRetry(a));
    retries.answered(a, true);
    retries.pageLoaded();
    QVERIFY(!retries.isRetry(a));
  }

  void certificateProblemsAreNamed() {
    QCOMPARE(certProblemsFromTlsFlags(kTlsUnknownCa | kTlsBadIdentity),
             (QList<CertProblem>{CertProblem::UnknownIssuer, CertProblem::WrongHost}));
    QCOMPARE(certProblemsFromTlsFlags(kTlsExpired), QList<CertProblem>{CertProblem::Expired});
    QCOMPARE(certProblemsFromTlsFlags(kTlsGenericError), QList<CertProblem>{CertProblem::Other});
    QCOMPARE(certProblemsFromTlsFlags(0), QList<CertProblem>{CertProblem::Other});
    QCOMPARE(certProblemFromNetError(-202), CertProblem::UnknownIssuer);
    QCOMPARE(certProblemFromNetError(-200), CertProblem::WrongHost);
    QCOMPARE(certProblemFromNetError(-201), CertProblem::Expired);
    QCOMPARE(certProblemFromNetError(-201, true), CertProblem::NotYetValid);
    QCOMPARE(certProblemFromNetError(-203), CertProblem::Other);
    QVERIFY(certProblemText(CertProblem::Expired).contains("有効期限が切れて"));
    QVERIFY(certProblemText(CertProblem::UnknownIssuer).contains("自己署名"));
    QVERIFY(certProblemText(CertProblem::WrongHost).contains("サイト名"));
  }

  void certificatePageCarriesItsTokenAndEscapes() {
    CertificatePage p{"https://a.example/<x>", "a.example", {CertProblem::Expired}, true, "abc123"};
    const QString html = certificatePageHtml(p);
    QVERIFY(html.contains("lang=\"ja\""));
    QVERIFY(html.contains(certProblemText(CertProblem::Expired)));
    QVERIFY(html.contains("危険性を理解した上で続行"));
    QVERIFY(html.contains(">戻る<"));
    QVERIFY(html.contains(certActionUrl(CertAction::Proceed, "abc123")));
    QVERIFY(!html.contains("<x>"));
    p.overridable = false;
    QVERIFY(!certificatePageHtml(p).contains("危険性を理解した上で続行"));

    const auto proceed = parseCertAction(certActionUrl(CertAction::Proceed, "abc123"));
    QVERIFY(proceed);
    QCOMPARE(proceed->action, CertAction::Proceed);
    QCOMPARE(proceed->token, QString("abc123"));
    QCOMPARE(parseCertAction(certActionUrl(CertAction::Back, "t"))->action, CertAction::Back);
    QVERIFY(!parseCertAction("zelvo:cert-proceed"));  // no token
    QVERIFY(!parseCertAction("zelvo:other?t=1"));
    QVERIFY(!parseCertAction("https://a.example/?t=1"));
  }

  void exceptionsArePerHostAndCertificate() {
    CertificateExceptions e;
    e.allow("A.example", "f1");
    QVERIFY(e.allows("a.example", "f1"));
    QVERIFY(!e.allows("a.example", "f2"));  // another certificate asks again
    QVERIFY(!e.allows("b.example", "f1"));
    QVERIFY(e.hasHost("a.EXAMPLE"));
    e.clear();
    QVERIFY(!e.hasHost("a.example"));
  }

  void securityStateOfAPage() {
    QCOMPARE(securityStateFor("https://a.example/", false, false), SecurityState::Secure);
    QCOMPARE(securityStateFor("https://a.example/", true, false), SecurityState::Broken);
    QCOMPARE(securityStateFor("https://a.example/", false, true), SecurityState::Broken);
    QCOMPARE(securityStateFor("http://a.example/", false, false), SecurityState::Insecure);
    QCOMPARE(securityStateFor("HTTP://a.example/", true, false), SecurityState::Insecure);
    QCOMPARE(securityStateFor("file:///tmp/a.html", false, false), SecurityState::None);
    QCOMPARE(securityStateFor("about:blank", false, false), SecurityState::None);
    QCOMPARE(securityStateFor("", false, false), SecurityState::None);
    QCOMPARE(securityText(SecurityState::Secure), QString("保護された通信"));
    QCOMPARE(securityText(SecurityState::Insecure), QString("保護されていない通信"));
    QVERIFY(securityText(SecurityState::Broken).contains("証明書に問題があります"));
    QVERIFY(securityText(SecurityState::Broken, true).contains("一部"));
    QVERIFY(securityText(SecurityState::None).isEmpty());
    QVERIFY(securityIconNames(SecurityState::None).isEmpty());
    QVERIFY(!securityIconNames(SecurityState::Broken).isEmpty());
  }
};

QTEST_GUILESS_MAIN(TestSecurityRules)
#include "test_security_rules.moc"
