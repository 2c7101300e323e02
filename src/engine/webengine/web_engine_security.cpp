// Sign-in, certificate errors and the secure state of a WebEngine window:
// the engine's requests translated into calls on its PageSecurity.
#include <QAuthenticator>
#include <QDateTime>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSslCertificate>
#include <QWebEngineCertificateError>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <memory>
#include <optional>

#include "engine/webengine/web_engine_control.h"
#include "page/page_security.h"

void TWebBrowser::watchSecurity() {
  QWebEnginePage* page = view_->page();
  connect(page, &QWebEnginePage::authenticationRequired, this,
          [this](const QUrl& url, QAuthenticator* auth) { signIn(url, auth, QString()); });
  connect(page, &QWebEnginePage::proxyAuthenticationRequired, this,
          [this](const QUrl& url, QAuthenticator* auth, const QString& proxyHost) {
            signIn(url, auth, proxyHost.isNull() ? QStringLiteral("") : proxyHost);
          });
  connect(page, &QWebEnginePage::certificateError, this,
          [this](const QWebEngineCertificateError& error) { certificateError(error); });
  connect(page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
      // Writing the page into the error page starts a load of its own.
      if (info.url() != certPageUrl_) security_->certificatePageShown(false);
      return;
    }
    if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus) security_->retries().pageLoaded();
    if (info.status() != QWebEngineLoadingInfo::LoadFailedStatus || info.url() != certPageUrl_ ||
        certPageHtml_.isEmpty())
      return;
    // The engine's error page stands at the refused address, in its place
    // in the history: ours replaces its content, so Back, Forward and
    // Reload behave as for any page.
    const QByteArray quoted = QJsonDocument(QJsonArray{certPageHtml_}).toJson(QJsonDocument::Compact);
    certPageHtml_.clear();
    view_->page()->runJavaScript(QStringLiteral("document.open();document.write(%1);document.close();")
                                     .arg(QString::fromUtf8(quoted.mid(1, quoted.size() - 2))));
    security_->certificatePageShown(true);
  });
  connect(page, &QWebEnginePage::urlChanged, this, [this] { updateSecurity(); });
  connect(page, &QWebEnginePage::loadFinished, this, [this] { updateSecurity(); });
}

void TWebBrowser::updateSecurity() {
  const QUrl url = view_->url();
  const bool certError =
      CertificateExceptions::session().hasHost(url.host()) || (!certPageUrl_.isEmpty() && url == certPageUrl_);
  security_->pageState(url.toString(), certError, false);
}

void TWebBrowser::signIn(const QUrl& url, QAuthenticator* auth, const QString& proxyHost) {
  SignInRequest r;
  r.proxy = !proxyHost.isNull();
  r.host = r.proxy ? proxyHost : url.host();
  r.port = r.proxy ? -1 : url.port();
  r.scheme = url.scheme();
  r.realm = auth->realm();
  r.retry = security_->retries().isRetry(r);
  auto answer = std::make_shared<std::optional<SignInAnswer>>();
  if (!closing_) {
    QEventLoop loop;
    security_->askSignIn(r, [answer, &loop](const SignInAnswer& a) {
      *answer = a;
      loop.quit();
    });
    waitForAnswer(loop, [answer] { return answer->has_value(); });
  }
  const SignInAnswer a = answer->value_or(SignInAnswer{});
  security_->retries().answered(r, a.accepted);
  if (a.accepted) {
    auth->setUser(a.user);
    auth->setPassword(a.password);
  } else {
    // A null authenticator cancels: the engine shows the server's own page.
    *auth = QAuthenticator();
  }
}

void TWebBrowser::certificateError(QWebEngineCertificateError error) {
  const QUrl url = error.url();
  const QList<QSslCertificate> chain = error.certificateChain();
  const QByteArray fingerprint =
      chain.isEmpty() ? QByteArray() : chain.first().digest(QCryptographicHash::Sha256).toHex();
  if (error.isOverridable() && CertificateExceptions::session().allows(url.host(), fingerprint)) {
    error.acceptCertificate();
    return;
  }
  error.rejectCertificate();
  const bool notYetValid = !chain.isEmpty() && chain.first().effectiveDate() > QDateTime::currentDateTimeUtc();
  certPageUrl_ = url;
  certPageHtml_ = security_->certificatePage(url.toString(), {certProblemFromNetError(error.type(), notYetValid)},
                                             error.isOverridable(), fingerprint);
  updateSecurity();
}

void TWebBrowser::certificateAction(const QUrl& url) {
  const PageSecurity::CertChoice choice = security_->certificateAction(url.toString());
  if (choice == PageSecurity::CertChoice::None) return;
  // Not from inside the engine's navigation decision.
  QMetaObject::invokeMethod(
      this,
      [this, choice] {
        if (choice == PageSecurity::CertChoice::Proceed) {
          view_->load(certPageUrl_);
        } else if (view_->history()->canGoBack()) {
          view_->back();
        } else {
          view_->load(QUrl(QStringLiteral("about:blank")));
        }
      },
      Qt::QueuedConnection);
}
