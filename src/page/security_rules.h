#pragma once

// The rules behind sign-in, certificate errors and the secure/insecure
// indicator, the same for both engines and free of widgets: what the
// sign-in dialog says, how a certificate problem is named, which hosts the
// user let through for this session, and how secure a page is.
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

// ---- sign-in -----------------------------------------------------------------

struct SignInRequest {
  QString host;
  int port = -1;       // -1: the scheme's own
  QString scheme;      // of the page that asks ("http", "https")
  QString realm;       // the server's own words; may be empty
  bool proxy = false;  // a proxy asks, not the site
  bool retry = false;  // the last answer was refused
};

struct SignInAnswer {
  bool accepted = false;
  QString user;
  QString password;
};

// "example.org" or "example.org:8080" (the port only when not the scheme's own).
QString signInSite(const SignInRequest& request);
// The dialog's text: who asks, the realm, and a warning where the password
// would travel unprotected or the last one was refused.
QString signInMessage(const SignInRequest& request);

// Per window: a request for the same site and realm that comes again before
// the page loaded was answered with a refused password. (For engines that
// do not say so themselves.)
class SignInRetries {
 public:
  bool isRetry(const SignInRequest& request) const;
  void answered(const SignInRequest& request, bool accepted);
  void pageLoaded() { last_.clear(); }

 private:
  static QString key(const SignInRequest& request);
  QString last_;
};

// ---- certificates ------------------------------------------------------------

enum class CertProblem { Expired, NotYetValid, UnknownIssuer, WrongHost, Revoked, Insecure, Other };

// GTlsCertificateFlags as the WebKit engine reports them.
enum : quint32 {
  kTlsUnknownCa = 1 << 0,
  kTlsBadIdentity = 1 << 1,
  kTlsNotActivated = 1 << 2,
  kTlsExpired = 1 << 3,
  kTlsRevoked = 1 << 4,
  kTlsInsecure = 1 << 5,
  kTlsGenericError = 1 << 6,
};
QList<CertProblem> certProblemsFromTlsFlags(quint32 flags);
// A network error number of the Chromium engine (-200 and on). Date errors
// are told apart by the caller, which has the certificate.
CertProblem certProblemFromNetError(int netError, bool notYetValid = false);
QString certProblemText(CertProblem problem);

// What the certificate page shows, and the secret its two links carry so
// that no other page can press them.
struct CertificatePage {
  QString url;
  QString host;
  QList<CertProblem> problems;
  bool overridable = true;
  QString token;
};
QString certificatePageTitle();
QString certificatePageHtml(const CertificatePage& page);

enum class CertAction { Back, Proceed };
QString certActionUrl(CertAction action, const QString& token);
struct CertActionRequest {
  CertAction action;
  QString token;
};
// The action a link of a certificate page asks for, if the address is one.
std::optional<CertActionRequest> parseCertAction(const QString& url);
bool isCertActionUrl(const QString& url);

// The certificates the user chose to accept despite their problems: per
// host, for the program's session only (never written anywhere).
class CertificateExceptions {
 public:
  void allow(const QString& host, const QByteArray& fingerprint);
  bool allows(const QString& host, const QByteArray& fingerprint) const;
  bool hasHost(const QString& host) const;
  void clear() { allowed_.clear(); }
  // The program's one list.
  static CertificateExceptions& session();

 private:
  QHash<QString, QSet<QByteArray>> allowed_;
};

// ---- the indicator -----------------------------------------------------------

enum class SecurityState { None, Secure, Insecure, Broken };

// https with a valid certificate is secure; with a certificate the user let
// through, or with insecure content the engine found, it is broken; http is
// insecure; anything else (local files, about:, no page) shows nothing.
SecurityState securityStateFor(const QString& url, bool certificateError, bool mixedContent);
// What the indicator says (tool tip and accessible description).
QString securityText(SecurityState state, bool mixedContent = false);
// Theme icon names, best first.
QStringList securityIconNames(SecurityState state);
