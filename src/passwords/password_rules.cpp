#include "passwords/password_rules.h"

#include <QJsonArray>
#include <QUrl>

namespace passwords {

QString kindName(Kind kind) { return kind == Kind::Http ? QStringLiteral("http") : QStringLiteral("form"); }

QString originOf(const QString& scheme, const QString& host, int port) {
  const QString s = scheme.toLower();
  if ((s != QLatin1String("http") && s != QLatin1String("https")) || host.isEmpty()) return {};
  QUrl u;
  u.setScheme(s);
  u.setHost(host);
  if (!u.isValid() || u.host().isEmpty()) return {};
  if (port <= 0 || port > 65535) port = s == QLatin1String("https") ? 443 : 80;
  // QUrl lower-cases names; an IPv6 address gets its brackets back.
  QString h = u.host(QUrl::FullyEncoded);
  if (h.contains(u':')) h = u'[' + h + u']';
  return QStringLiteral("%1://%2:%3").arg(s, h).arg(port);
}

QString originOf(const QString& url) {
  const QUrl u(url, QUrl::StrictMode);
  if (!u.isValid()) return {};
  return originOf(u.scheme(), u.host(), u.port());
}

bool isPlainHttp(const QString& origin) { return origin.startsWith(QLatin1String("http://")); }

Fill fillFor(const QString& savedOrigin, const QString& pageUrl, bool mainFrame) {
  // A frame of another site inside the page could read what is filled in.
  if (!mainFrame || savedOrigin.isEmpty() || originOf(pageUrl) != savedOrigin) return Fill::No;
  return isPlainHttp(savedOrigin) ? Fill::WithWarning : Fill::Yes;
}

namespace {

bool isUserType(const QString& type) {
  return type.isEmpty() || type == QLatin1String("text") || type == QLatin1String("email") ||
         type == QLatin1String("tel");
}

}  // namespace

std::optional<LoginFields> loginFields(const QList<Field>& fields) {
  const qsizetype n = std::min<qsizetype>(fields.size(), kMaxFields);
  QList<int> passwords;
  int current = -1;
  for (int i = 0; i < n; ++i) {
    const Field& f = fields[i];
    if (!f.visible || f.type != QLatin1String("password")) continue;
    passwords.append(i);
    if (current < 0 && f.autocomplete.split(u' ').contains(QLatin1String("current-password"))) current = i;
  }
  LoginFields out;
  if (current >= 0)
    out.password = current;
  else if (passwords.size() == 1)
    out.password = passwords.first();
  else
    return std::nullopt;
  // The field the page marks as the user name; else the last text field
  // before the password, as login forms put them.
  for (int i = 0; i < n; ++i) {
    const Field& f = fields[i];
    if (f.visible && isUserType(f.type) && f.autocomplete.split(u' ').contains(QLatin1String("username"))) {
      out.user = i;
      return out;
    }
  }
  for (int i = out.password - 1; i >= 0; --i)
    if (fields[i].visible && isUserType(fields[i].type)) {
      out.user = i;
      break;
    }
  return out;
}

std::optional<FormReport> readFormReport(const QJsonObject& message) {
  FormReport r;
  const QString what = message.value(QLatin1String("what")).toString();
  if (what == QLatin1String("ready"))
    r.what = FormReport::What::Ready;
  else if (what == QLatin1String("submit"))
    r.what = FormReport::What::Submit;
  else
    return std::nullopt;
  r.origin = originOf(message.value(QLatin1String("origin")).toString());
  const double form = message.value(QLatin1String("form")).toDouble(-1);
  if (r.origin.isEmpty() || form < 0 || form >= kMaxForms || form != static_cast<int>(form)) return std::nullopt;
  r.form = static_cast<int>(form);
  const QJsonArray array = message.value(QLatin1String("fields")).toArray();
  if (array.size() > kMaxFields) return std::nullopt;
  QList<Field> fields;
  for (const QJsonValue& v : array) {
    const QJsonObject o = v.toObject();
    Field f;
    f.type = o.value(QLatin1String("type")).toString().left(32).toLower();
    f.autocomplete = o.value(QLatin1String("ac")).toString().left(128).toLower();
    f.visible = o.value(QLatin1String("visible")).toBool();
    f.value = o.value(QLatin1String("value")).toString();
    fields.append(f);
  }
  const auto login = loginFields(fields);
  if (!login) return std::nullopt;
  r.fields = *login;
  if (r.what == FormReport::What::Ready) return r;
  r.password = fields[login->password].value;
  if (login->user >= 0) r.user = fields[login->user].value;
  if (r.password.isEmpty() || r.password.size() > kMaxValue || r.user.size() > kMaxValue) return std::nullopt;
  return r;
}

}  // namespace passwords
