// Saved passwords in a WebEngine window: the login-form script runs in the
// application's own script world of the main frame and reports over a web
// channel that only that world sees; filling goes the same way back.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

#include "engine/webengine/web_engine_control.h"
#include "passwords/form_script.h"

namespace {

// The object the script reaches as "zelvoPasswords".
class PasswordChannel : public QObject {
  Q_OBJECT
 public:
  explicit PasswordChannel(IWebBrowser2* control) : QObject(control), control_(control) {}
  Q_INVOKABLE void report(const QString& json) { emit control_->PasswordFormMessage(json); }

 private:
  IWebBrowser2* control_;
};

QWebEngineScript worldScript(const QString& name, const QString& source, QWebEngineScript::InjectionPoint when) {
  QWebEngineScript s;
  s.setName(name);
  s.setSourceCode(source);
  s.setInjectionPoint(when);
  s.setWorldId(QWebEngineScript::ApplicationWorld);
  s.setRunsOnSubFrames(false);  // never into another site's frame
  return s;
}

}  // namespace

void TWebBrowser::watchPasswords(QWebEnginePage* page) {
  QFile channelJs(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
  if (!channelJs.open(QIODevice::ReadOnly)) return;
  auto* channel = new QWebChannel(page);
  channel->registerObject(QStringLiteral("zelvoPasswords"), new PasswordChannel(this));
  page->setWebChannel(channel, QWebEngineScript::ApplicationWorld);
  // Messages wait until the channel is up.
  const std::string post =
      "(function () { var queue = [], target = null;"
      " new QWebChannel(qt.webChannelTransport, function (ch) {"
      "  target = ch.objects.zelvoPasswords; queue.forEach(function (m) { target.report(m); }); queue = []; });"
      " return function (m) { if (target) target.report(m); else queue.push(m); }; })()";
  page->scripts().insert(worldScript(QStringLiteral("zelvo-webchannel"), QString::fromUtf8(channelJs.readAll()),
                                     QWebEngineScript::DocumentCreation));
  page->scripts().insert(worldScript(QStringLiteral("zelvo-passwords"),
                                     QString::fromStdString(passwords::formScript(post)),
                                     QWebEngineScript::DocumentReady));
}

void TWebBrowser::FillPassword(const QString& origin, int form, int userField, int passwordField, const QString& user,
                               const QString& password) {
  const QJsonArray args{origin, form, userField, passwordField, user, password};
  const QString fn = QString::fromLatin1(passwords::kFillFunction);
  view_->page()->runJavaScript(QStringLiteral("window.%1 && window.%1.apply(null, %2)")
                                   .arg(fn, QString::fromUtf8(QJsonDocument(args).toJson(QJsonDocument::Compact))),
                               QWebEngineScript::ApplicationWorld);
}

#include "web_engine_passwords.moc"
