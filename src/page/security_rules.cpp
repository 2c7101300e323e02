#include "page/security_rules.h"

#include <QUrl>
#include <QUrlQuery>

#include "page/page_rules.h"

namespace {

int defaultPort(const QString& scheme) {
  if (scheme == u"https") return 443;
  if (scheme == u"http") return 80;
  return -1;
}

}  // namespace

// ---- sign-in -----------------------------------------------------------------

QString signInSite(const SignInRequest& r) {
  // Shown as the address box shows it (Unicode host names where safe).
  QString site = siteOf(QStringLiteral("http://") + (r.host.contains(u':') ? u'[' + r.host + u']' : r.host) + u'/');
  if (r.port >= 0 && r.port != defaultPort(r.scheme.toLower())) site += u':' + QString::number(r.port);
  return site;
}

QString signInMessage(const SignInRequest& r) {
  const QString site = signInSite(r);
  QStringList lines;
  if (r.retry) lines << QStringLiteral("ユーザー名またはパスワードが正しくありません。もう一度入力してください。");
  lines << (r.proxy ? QStringLiteral("プロキシ %1 にログインするには、ユーザー名とパスワードが必要です。").arg(site)
                    : QStringLiteral("%1 にログインするには、ユーザー名とパスワードが必要です。").arg(site));
  if (!r.realm.isEmpty()) lines << QStringLiteral("サイトからのメッセージ:「%1」").arg(r.realm);
  if (!r.proxy && r.scheme.toLower() != u"https")
    lines << QStringLiteral("このサイトへの接続は保護されていません。入力した情報は暗号化されずに送信されます。");
  return lines.join(u'\n');
}

QString SignInRetries::key(const SignInRequest& r) {
  return QStringLiteral("%1|%2|%3|%4").arg(r.proxy ? 1 : 0).arg(r.host.toLower()).arg(r.port).arg(r.realm);
}

bool SignInRetries::isRetry(const SignInRequest& r) const { return !last_.isEmpty() && last_ == key(r); }

void SignInRetries::answered(const SignInRequest& r, bool accepted) {
  if (accepted)
    last_ = key(r);
  else
    last_.clear();
}

// ---- certificates ------------------------------------------------------------

QList<CertProblem> certProblemsFromTlsFlags(quint32 flags) {
  QList<CertProblem> out;
  // Most telling first.
  if (flags & kTlsRevoked) out << CertProblem::Revoked;
  if (flags & kTlsExpired) out << CertProblem::Expired;
  if (flags & kTlsNotActivated) out << CertProblem::NotYetValid;
  if (flags & kTlsUnknownCa) out << CertProblem::UnknownIssuer;
  if (flags & kTlsBadIdentity) out << CertProblem::WrongHost;
  if (flags & kTlsInsecure) out << CertProblem::Insecure;
  if (out.isEmpty()) out << CertProblem::Other;
  return out;
}

CertProblem certProblemFromNetError(int netError, bool notYetValid) {
  switch (netError) {
    case -200:  // common name invalid
      return CertProblem::WrongHost;
    case -201:  // date invalid
      return notYetValid ? CertProblem::NotYetValid : CertProblem::Expired;
    case -202:  // authority invalid
      return CertProblem::UnknownIssuer;
    case -206:  // revoked
      return CertProblem::Revoked;
    case -208:  // weak signature algorithm
    case -211:  // weak key
    case -218:  // obsolete TLS version
      return CertProblem::Insecure;
    default:
      return CertProblem::Other;
  }
}

QString certProblemText(CertProblem problem) {
  switch (problem) {
    case CertProblem::Expired:
      return QStringLiteral("証明書の有効期限が切れています。");
    case CertProblem::NotYetValid:
      return QStringLiteral("証明書はまだ有効になっていません (コンピューターの日付が正しいか確かめてください)。");
    case CertProblem::UnknownIssuer:
      return QStringLiteral("証明書の発行者が信頼されていません (自己署名の証明書か、不明な認証局の証明書です)。");
    case CertProblem::WrongHost:
      return QStringLiteral("証明書はこのサイト名のものではありません。");
    case CertProblem::Revoked:
      return QStringLiteral("証明書は発行者によって失効しています。");
    case CertProblem::Insecure:
      return QStringLiteral("証明書または接続の暗号が弱く、安全ではありません。");
    case CertProblem::Other:
      break;
  }
  return QStringLiteral("証明書に問題があります。");
}

QString certificatePageTitle() { return QStringLiteral("この接続は保護されていません"); }

QString certificatePageHtml(const CertificatePage& page) {
  const auto esc = [](const QString& s) { return s.toHtmlEscaped(); };
  QString problems;
  for (CertProblem p : page.problems) problems += QStringLiteral("<li>%1</li>").arg(esc(certProblemText(p)));
  if (problems.isEmpty()) problems = QStringLiteral("<li>%1</li>").arg(esc(certProblemText(CertProblem::Other)));
  const QString proceed =
      page.overridable
          ? QStringLiteral(
                "<p>このサイトを信頼できると確信している場合に限り、続行できます。この選択は、このサイトについて"
                "プログラムを終了するまで有効です。</p><p><a id=\"proceed\" href=\"%1\">危険性を理解した上で続行"
                "</a></p>")
                .arg(esc(certActionUrl(CertAction::Proceed, page.token)))
          : QStringLiteral("<p id=\"noproceed\">このサイトは安全な接続を求めているため、続行できません。</p>");
  // Colours are left to the user's theme (light or dark).
  return QStringLiteral(
             "<!DOCTYPE html><html lang=\"ja\"><head><meta charset=\"utf-8\">"
             "<meta name=\"color-scheme\" content=\"light dark\"><title>%1</title>"
             "<style>body{font-family:sans-serif;margin:2em auto;max-width:42em;padding:0 1em;line-height:1.6}"
             "code{word-break:break-all}#back{display:inline-block;padding:.4em 1.6em;border:1px solid;"
             "border-radius:4px;text-decoration:none;font-weight:bold}"
             "details{margin-top:2em}</style></head><body>"
             "<h1>%1</h1>"
             "<p><strong id=\"host\">%2</strong> の証明書に問題があるため、このページを表示しませんでした。"
             "第三者がこのサイトになりすまして、パスワードやクレジットカード番号などの情報を盗もうとしている"
             "可能性があります。</p>"
             "<ul id=\"problems\">%3</ul>"
             "<p><a id=\"back\" href=\"%4\">戻る</a></p>"
             "<details><summary>詳細</summary><p>アドレス: <code>%5</code></p>%6</details>"
             "</body></html>")
      .arg(esc(certificatePageTitle()), esc(page.host), problems, esc(certActionUrl(CertAction::Back, page.token)),
           esc(displayAddress(page.url)), proceed);
}

namespace {
const QString kActionScheme = QStringLiteral("zelvo");
}

QString certActionUrl(CertAction action, const QString& token) {
  return QStringLiteral("%1:%2?t=%3")
      .arg(kActionScheme, action == CertAction::Proceed ? QStringLiteral("cert-proceed") : QStringLiteral("cert-back"),
           token);
}

bool isCertActionUrl(const QString& url) { return QUrl(url).scheme().compare(kActionScheme, Qt::CaseInsensitive) == 0; }

std::optional<CertActionRequest> parseCertAction(const QString& url) {
  const QUrl u(url);
  if (!isCertActionUrl(url)) return std::nullopt;
  const QString token = QUrlQuery(u).queryItemValue(QStringLiteral("t"));
  if (token.isEmpty()) return std::nullopt;
  if (u.path() == u"cert-proceed") return CertActionRequest{CertAction::Proceed, token};
  if (u.path() == u"cert-back") return CertActionRequest{CertAction::Back, token};
  return std::nullopt;
}

void CertificateExceptions::allow(const QString& host, const QByteArray& fingerprint) {
  allowed_[host.toLower()].insert(fingerprint);
}

bool CertificateExceptions::allows(const QString& host, const QByteArray& fingerprint) const {
  const auto it = allowed_.constFind(host.toLower());
  return it != allowed_.constEnd() && it->contains(fingerprint);
}

bool CertificateExceptions::hasHost(const QString& host) const { return allowed_.contains(host.toLower()); }

CertificateExceptions& CertificateExceptions::session() {
  static CertificateExceptions list;
  return list;
}

// ---- the indicator -----------------------------------------------------------

SecurityState securityStateFor(const QString& url, bool certificateError, bool mixedContent) {
  const QString scheme = QUrl(url).scheme().toLower();
  if (scheme == u"https" || scheme == u"wss")
    return certificateError || mixedContent ? SecurityState::Broken : SecurityState::Secure;
  if (scheme == u"http" || scheme == u"ws" || scheme == u"ftp") return SecurityState::Insecure;
  return SecurityState::None;
}

QString securityText(SecurityState state, bool mixedContent) {
  switch (state) {
    case SecurityState::Secure:
      return QStringLiteral("保護された通信");
    case SecurityState::Insecure:
      return QStringLiteral("保護されていない通信");
    case SecurityState::Broken:
      return mixedContent ? QStringLiteral("保護されていない通信 (ページの一部が暗号化されていません)")
                          : QStringLiteral("保護されていない通信 (証明書に問題があります)");
    case SecurityState::None:
      break;
  }
  return {};
}

QStringList securityIconNames(SecurityState state) {
  switch (state) {
    case SecurityState::Secure:
      return {QStringLiteral("security-high"), QStringLiteral("channel-secure-symbolic")};
    case SecurityState::Insecure:
      return {QStringLiteral("security-medium"), QStringLiteral("channel-insecure-symbolic")};
    case SecurityState::Broken:
      return {QStringLiteral("security-low"), QStringLiteral("dialog-warning")};
    case SecurityState::None:
      break;
  }
  return {};
}
