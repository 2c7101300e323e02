// Where a saved password belongs, when it is filled in, and which fields of
// a page's form take it, against hostile forms.
#include <QJsonArray>
#include <QJsonObject>
#include <QTest>

#include "passwords/password_rules.h"

using namespace passwords;

namespace {

// "text", "password!" (not visible), "password@cp" (autocomplete
// current-password), "email@un" (autocomplete username), "hidden".
QList<Field> form(const QStringList& spec) {
  QList<Field> out;
  for (QString s : spec) {
    Field f;
    f.visible = !s.endsWith(u'!') && s != QLatin1String("hidden");
    s.remove(u'!');
    const QStringList parts = s.split(u'@');
    f.type = parts[0];
    if (parts.size() > 1) f.autocomplete = parts[1] == QLatin1String("cp") ? "current-password" : "username";
    out.append(f);
  }
  return out;
}

QJsonObject report(const QString& what, const QJsonValue& formIndex, const QString& user, const QString& password,
                   const QString& origin = QStringLiteral("https://shop.example")) {
  return {{"what", what},
          {"origin", origin},
          {"form", formIndex},
          {"fields", QJsonArray{QJsonObject{{"type", "text"}, {"visible", true}, {"value", user}},
                                QJsonObject{{"type", "password"}, {"visible", true}, {"value", password}}}}};
}

}  // namespace

class TestPasswordRules : public QObject {
  Q_OBJECT
 private slots:
  void origins_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("origin");
    QTest::newRow("default port filled in") << "https://Shop.Example/login?next=/"
                                            << "https://shop.example:443";
    QTest::newRow("http default") << "http://shop.example/"
                                  << "http://shop.example:80";
    QTest::newRow("own port") << "http://127.0.0.1:8080/a"
                              << "http://127.0.0.1:8080";
    QTest::newRow("credentials in the address dropped") << "https://u:p@shop.example:8443/"
                                                        << "https://shop.example:8443";
    QTest::newRow("ipv6") << "http://[::1]:81/"
                          << "http://[::1]:81";
    QTest::newRow("file") << "file:///etc/passwd"
                          << "";
    QTest::newRow("about") << "about:blank"
                           << "";
    QTest::newRow("data") << "data:text/html,<form>"
                          << "";
    QTest::newRow("script") << "javascript:alert(1)"
                            << "";
    QTest::newRow("opaque origin") << "null"
                                   << "";
  }
  void origins() {
    QFETCH(QString, url);
    QFETCH(QString, origin);
    QCOMPARE(originOf(url), origin);
  }

  void filling_data() {
    QTest::addColumn<QString>("saved");
    QTest::addColumn<QString>("page");
    QTest::addColumn<bool>("mainFrame");
    QTest::addColumn<int>("fill");
    const QString s = "https://shop.example:443";
    QTest::newRow("same site") << s << "https://shop.example/login" << true << int(Fill::Yes);
    QTest::newRow("plain http warns") << "http://shop.example:80"
                                      << "http://shop.example/login" << true << int(Fill::WithWarning);
    QTest::newRow("frame of the same site") << s << "https://shop.example/login" << false << int(Fill::No);
    QTest::newRow("other port") << s << "https://shop.example:8443/login" << true << int(Fill::No);
    QTest::newRow("http page, https saved") << s << "http://shop.example/login" << true << int(Fill::No);
    QTest::newRow("sub-domain") << s << "https://evil.shop.example/login" << true << int(Fill::No);
    QTest::newRow("look-alike") << s << "https://shop.example.evil.test/" << true << int(Fill::No);
    QTest::newRow("nothing saved") << ""
                                   << "about:blank" << true << int(Fill::No);
  }
  void filling() {
    QFETCH(QString, saved);
    QFETCH(QString, page);
    QFETCH(bool, mainFrame);
    QFETCH(int, fill);
    QCOMPARE(int(fillFor(saved, page, mainFrame)), fill);
  }

  void fields_data() {
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<int>("user");  // -2: no login form
    QTest::addColumn<int>("password");
    QTest::newRow("plain") << QStringList{"text", "password"} << 0 << 1;
    QTest::newRow("hidden inputs skipped") << QStringList{"hidden", "text!", "email", "hidden", "password"} << 2 << 4;
    QTest::newRow("invisible password decoy") << QStringList{"text", "password!", "password"} << 0 << 2;
    QTest::newRow("password only") << QStringList{"password"} << -1 << 0;
    QTest::newRow("no password") << QStringList{"text", "email"} << -2 << -2;
    QTest::newRow("only an invisible password") << QStringList{"text", "password!"} << -2 << -2;
    QTest::newRow("sign-up form") << QStringList{"text", "password", "password"} << -2 << -2;
    QTest::newRow("marked current password") << QStringList{"text", "password", "password@cp", "password"} << 0 << 2;
    QTest::newRow("marked user name wins") << QStringList{"email@un", "text", "password"} << 0 << 2;
    QTest::newRow("checkbox is no user name") << QStringList{"text", "checkbox", "password"} << 0 << 2;
    QStringList many(kMaxFields, "text");
    many << "password";
    QTest::newRow("password past the limit") << many << -2 << -2;
  }
  void fields() {
    QFETCH(QStringList, fields);
    QFETCH(int, user);
    QFETCH(int, password);
    const auto found = loginFields(form(fields));
    QCOMPARE(found.has_value(), user != -2);
    if (!found) return;
    QCOMPARE(found->user, user);
    QCOMPARE(found->password, password);
  }

  void reports_data() {
    QTest::addColumn<QJsonObject>("message");
    QTest::addColumn<bool>("usable");
    const QString huge(kMaxValue + 1, u'x');
    QTest::newRow("submit") << report("submit", 0, "yamada", "s3cret") << true;
    QTest::newRow("ready without values") << report("ready", 3, "", "") << true;
    QTest::newRow("no password typed") << report("submit", 0, "yamada", "") << false;
    QTest::newRow("huge password") << report("submit", 0, "yamada", huge) << false;
    QTest::newRow("huge user name") << report("submit", 0, huge, "s3cret") << false;
    QTest::newRow("negative form") << report("submit", -1, "a", "b") << false;
    QTest::newRow("fractional form") << report("submit", 0.5, "a", "b") << false;
    QTest::newRow("form past the limit") << report("submit", kMaxForms, "a", "b") << false;
    QTest::newRow("form as text") << report("submit", "0", "a", "b") << false;
    QTest::newRow("unknown message") << report("fill", 0, "a", "b") << false;
    QTest::newRow("opaque origin") << report("submit", 0, "a", "b", "null") << false;
    QTest::newRow("file origin") << report("submit", 0, "a", "b", "file://") << false;
    QJsonObject tooMany = report("ready", 0, "", "");
    QJsonArray fields;
    for (int i = 0; i <= kMaxFields; ++i) fields.append(QJsonObject{{"type", "password"}, {"visible", true}});
    tooMany["fields"] = fields;
    QTest::newRow("too many fields") << tooMany << false;
  }
  void reports() {
    QFETCH(QJsonObject, message);
    QFETCH(bool, usable);
    const auto r = readFormReport(message);
    QCOMPARE(r.has_value(), usable);
    if (!r || r->what != FormReport::What::Submit) return;
    QCOMPARE(r->origin, QString("https://shop.example:443"));
    QCOMPARE(r->user, QString("yamada"));
    QCOMPARE(r->password, QString("s3cret"));
    QCOMPARE(r->fields.user, 0);
    QCOMPARE(r->fields.password, 1);
  }
};

QTEST_GUILESS_MAIN(TestPasswordRules)
#include "test_password_rules.moc"
