#include "sitedata/site_data_engines.h"

#include "engine/webengine_side.h"
#include "engine/webkit/webkit_control.h"
#include "engine/webkit/webkit_site_data.h"
#include "platform/errors.h"

namespace sitedata {

namespace {

QList<EngineRecord> webEngineRecords() {
  QMap<QString, int> perDomain;
  for (const WebEngineCookie& c : webengine_side::get().cookies()) {
    QString d = c.cookie.domain().toLower();
    while (d.startsWith(u'.')) d.remove(0, 1);
    ++perDomain[d];
  }
  QList<EngineRecord> out;
  for (auto it = perDomain.cbegin(); it != perDomain.cend(); ++it)
    out.append({Engine::WebEngine, it.key(), it.value(), -1, {QStringLiteral("cookies")}});
  return out;
}

}  // namespace

void fetchSites(std::function<void(const QList<SiteRow>&)> done) {
  const QList<EngineRecord> ie = webEngineRecords();
  try {
    webkit_sitedata::fetch([ie, done](const QList<webkit_sitedata::Record>& records) {
      QList<EngineRecord> all = ie;
      // WebKit tells which kinds a site stored, not how many cookies.
      for (const webkit_sitedata::Record& r : records) all.append({Engine::WebKit, r.name, 0, r.bytes, r.kinds});
      done(mergeBySite(all));
    });
  } catch (const EEngineError&) {
    // No WebKit host can run here: WebEngine's part is all there is.
    done(mergeBySite(ie));
  }
}

void removeSite(const SiteRow& row, std::function<void()> done) {
  webengine_side::get().removeCookies(row.webEngineNames);
  if (row.webKitNames.isEmpty()) {
    if (done) done();
    return;
  }
  webkit_sitedata::remove(row.webKitNames, std::move(done));
}

bool removeAllSites(std::function<void()> done) {
  IWebEngineSide& webEngine = webengine_side::get();
  webEngine.clearCookies(0);
  const bool storage = webEngine.removeStorage();
  webkit_sitedata::clear(true, false, 0, std::move(done));
  return storage;
}

void clearStored(bool siteData, bool cache, qint64 sinceMs, std::function<void()> done) {
  IWebEngineSide& webEngine = webengine_side::get();
  if (siteData) {
    webEngine.clearCookies(sinceMs);
    // WebEngine's storage has no ages: it goes only with everything.
    if (sinceMs <= 0) webEngine.removeStorage();
  }
  if (cache) webEngine.clearCache();
  try {
    webkit_sitedata::clear(siteData, cache, sinceMs, std::move(done));
  } catch (const EEngineError&) {
    if (done) done();
  }
}

void watchEngines() { webkit_sitedata::watch(); }

void setThirdPartyCookies(bool allow) {
  webengine_side::setThirdPartyCookies(allow);
  TMozillaBrowser::setThirdPartyCookies(allow);
}

}  // namespace sitedata
