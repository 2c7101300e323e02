#pragma once

// Which site a saved password belongs to, when it may be filled in, and
// which fields of a page's form hold the user name and the password. The
// form's description comes from the page and is hostile.
#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

namespace passwords {

// What a saved credential was given to: a login form or an HTTP sign-in.
enum class Kind { Form, Http };
QString kindName(Kind kind);

// Longest user name or password kept, and most fields and forms looked at:
// a page can post far more than any login needs.
constexpr int kMaxValue = 512;
constexpr int kMaxFields = 200;
constexpr int kMaxForms = 20;

// "scheme://host:port" of an http or https address, the port always given;
// empty for anything else (file, data, about:, a page without a host).
QString originOf(const QString& url);
// The origin of a sign-in request (the host and port that asked).
QString originOf(const QString& scheme, const QString& host, int port);
// Whether a password typed or filled there travels in clear.
bool isPlainHttp(const QString& origin);

// Whether a saved credential of `savedOrigin` may go into a form that the
// page at `pageUrl` shows in its main frame (mainFrame) or in a frame.
enum class Fill { No, Yes, WithWarning };
Fill fillFor(const QString& savedOrigin, const QString& pageUrl, bool mainFrame);

// One input of a form as the page's script saw it.
struct Field {
  QString type;          // lower case; "" is text
  QString autocomplete;  // lower case
  bool visible = false;
  QString value;  // only when the form was submitted
};
// The fields of a login form that matter: indices into the form's fields.
struct LoginFields {
  int user = -1;  // -1: the form has no user name field
  int password = -1;
};
// The user name and password fields of a form, or none when the form is no
// login form: no visible password field, or several without one marked as
// the current password (a sign-up or change form).
std::optional<LoginFields> loginFields(const QList<Field>& fields);

// What the page script reported: a form that can take a saved password
// ("ready"), or a login form being submitted ("submit").
struct FormReport {
  enum class What { Ready, Submit } what = What::Ready;
  QString origin;  // of the page that holds the form, as the script saw it
  int form = -1;   // the form's index on the page
  LoginFields fields;
  QString user;  // Submit only
  QString password;
};
// Reads the script's message; nothing when it is no usable report (malformed,
// no login form, a value too long, no password typed).
std::optional<FormReport> readFormReport(const QJsonObject& message);

}  // namespace passwords
