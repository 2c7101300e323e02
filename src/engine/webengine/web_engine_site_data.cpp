#include "engine/webengine/web_engine_site_data.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QPointer>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>
#include <atomic>

#include "engine/webengine/web_engine_control.h"
#include "platform/errors.h"

namespace webengine_sitedata {

namespace {

// Read on the engine's network thread.
std::atomic<bool> thirdPartyAllowed{false};

class Watch : public QObject {
  Q_OBJECT
 public:
  QPointer<QWebEngineProfile> profile;
  QList<Cookie> list;
  bool loaded = false;

  void added(const QNetworkCookie& c) {
    // Those the store loads at the start were set before this run: no time.
    const qint64 now = loaded ? QDateTime::currentMSecsSinceEpoch() : 0;
    for (Cookie& k : list)
      if (k.cookie.hasSameIdentifier(c)) {
        k.cookie = c;
        return changed();
      }
    list.append({c, now});
    changed();
  }
  void removed(const QNetworkCookie& c) {
    list.removeIf([&](const Cookie& k) { return k.cookie.hasSameIdentifier(c); });
    changed();
  }
 signals:
  void changed();
};

Watch& watch() {
  static Watch* w = new Watch;
  return *w;
}

QWebEngineCookieStore* store() {
  QWebEngineProfile* p = watch().profile ? watch().profile.data() : TWebBrowser::sharedProfile();
  return p->cookieStore();
}

QString domainOf(const QNetworkCookie& c) {
  QString d = c.domain();
  while (d.startsWith(u'.')) d.remove(0, 1);
  return d.toLower();
}

}  // namespace

void filterCookies(QWebEngineProfile* profile) {
  profile->cookieStore()->setCookieFilter(
      [](const QWebEngineCookieStore::FilterRequest& r) { return !r.thirdParty || thirdPartyAllowed; });
}

void prepare(QWebEngineProfile* profile) {
  Watch& w = watch();
  w.profile = profile;
  QWebEngineCookieStore* s = profile->cookieStore();
  QObject::connect(s, &QWebEngineCookieStore::cookieAdded, &w, &Watch::added);
  QObject::connect(s, &QWebEngineCookieStore::cookieRemoved, &w, &Watch::removed);
  s->loadAllCookies();
  // What loadAllCookies reports arrives before anything a page sets later.
  QMetaObject::invokeMethod(
      &w, [&w] { w.loaded = true; }, Qt::QueuedConnection);
}

void setThirdPartyCookies(bool allow) { thirdPartyAllowed = allow; }

QList<Cookie> cookies() {
  (void)store();  // the profile, and its watch, exist from now on
  return watch().list;
}

void removeCookies(const QStringList& domains) {
  QWebEngineCookieStore* s = store();
  for (const Cookie& k : watch().list)
    if (domains.contains(domainOf(k.cookie))) s->deleteCookie(k.cookie);
}

void clearCookies(qint64 sinceMs) {
  QWebEngineCookieStore* s = store();
  if (sinceMs <= 0) return s->deleteAllCookies();
  for (const Cookie& k : watch().list)
    if (k.seenMs >= sinceMs) s->deleteCookie(k.cookie);
}

void clearCache() { TWebBrowser::sharedProfile()->clearHttpCache(); }

bool removeStorage() {
  for (QWidget* w : QApplication::allWidgets())
    if (qobject_cast<TWebBrowser*>(w)) return false;
  const QString root = TWebBrowser::sharedProfile()->persistentStoragePath();
  if (root.isEmpty()) return true;
  bool ok = true;
  for (const char* folder : {"Local Storage", "Session Storage", "IndexedDB", "Service Worker", "databases",
                             "File System", "blob_storage", "shared_proto_db", "WebStorage"}) {
    QDir d(root + u'/' + QLatin1String(folder));
    if (d.exists() && !d.removeRecursively()) ok = false;
  }
  if (!ok) throw EInOutError(QStringLiteral("%1 のサイトデータを削除できません").arg(root));
  return true;
}

QObject* notifier() { return &watch(); }

}  // namespace webengine_sitedata

#include "web_engine_site_data.moc"
