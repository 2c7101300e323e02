// Sign-in, certificate errors and the secure state of a Gekko window: the
// host forwards the engine's requests as events and waits, without blocking
// anything, for the answer the frame sends back as a command.
#include "engine/webkit/webkit_control.h"
#include "engine/webkit/webkit_protocol.h"
#include "page/page_security.h"

namespace {
QString qstr(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

bool TMozillaBrowser::securityEvent(const wkproto::Message& m) {
  const std::string ev = m.str("ev");
  if (ev == "authenticate") {
    SignInRequest r;
    r.host = qstr(m.str("host"));
    r.port = static_cast<int>(m.integer("port", -1));
    r.scheme = qstr(m.str("scheme"));
    r.realm = qstr(m.str("realm"));
    r.proxy = m.boolean("proxy");
    r.retry = m.boolean("retry");
    const std::int64_t id = m.integer("id");
    // Answered whenever the user is done; a view or host gone by then took
    // the request with it.
    security_->askSignIn(
        r,
        [this, id](const SignInAnswer& a) {
          if (!viewId_) return;
          send(wkproto::Message()
                   .set("cmd", "auth-reply")
                   .set("id", id)
                   .set("accepted", a.accepted)
                   .set("user", a.user.toStdString())
                   .set("password", a.password.toStdString()));
        },
        id);
    return true;
  }
  if (ev == "auth-cancelled") {
    security_->forgetSignIn(m.integer("id"));
    return true;
  }
  if (ev == "tls-error") {
    const QString uri = qstr(m.str("uri"));
    const QString host = qstr(m.str("host"));
    const QByteArray fingerprint = QByteArray::fromStdString(m.str("fingerprint"));
    if (CertificateExceptions::session().allows(host, fingerprint)) {
      // Let through earlier in this session (by a host that has since ended).
      send(wkproto::Message().set("cmd", "tls-allow"));
      return true;
    }
    const QString html = security_->certificatePage(
        uri, certProblemsFromTlsFlags(static_cast<quint32>(m.integer("flags"))), true, fingerprint);
    send(wkproto::Message().set("cmd", "tls-page").set("html", html.toStdString()));
    return true;
  }
  if (ev == "page-action") {
    switch (security_->certificateAction(qstr(m.str("uri")))) {
      case PageSecurity::CertChoice::Proceed:
        send(wkproto::Message().set("cmd", "tls-allow"));
        break;
      case PageSecurity::CertChoice::Back:
        send(wkproto::Message().set("cmd", "leave"));
        break;
      case PageSecurity::CertChoice::None:
        break;
    }
    return true;
  }
  if (ev == "insecure-content") {
    security_->mixedContentFound();
    return true;
  }
  if (ev == "load") {
    const std::string phase = m.str("phase");
    if (phase == "started") {
      security_->certificatePageShown(false);
    } else if (phase == "committed") {
      security_->certificatePageShown(m.boolean("cert-page"));
      security_->pageState(qstr(m.str("uri")), m.integer("tls-errors") != 0, false);
    }
  }
  return false;
}
