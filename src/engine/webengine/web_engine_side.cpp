#include "engine/webengine/web_engine_side.h"

#include "engine/webengine/web_engine_control.h"
#include "engine/webengine/web_engine_site_data.h"

namespace {

class WebEngineSide final : public IWebEngineSide {
 public:
  IWebBrowser2* createControl(QWidget* parent, bool isPrivate) override { return new TWebBrowser(parent, isPrivate); }
  void prepareProfile() override { TWebBrowser::sharedProfile(); }
  void prepareSparePage() override { TWebBrowser::prepareSparePage(); }
  QList<WebEngineCookie> cookies() override { return webengine_sitedata::cookies(); }
  void removeCookies(const QStringList& domains) override { webengine_sitedata::removeCookies(domains); }
  void clearCookies(qint64 sinceMs) override { webengine_sitedata::clearCookies(sinceMs); }
  void clearCache() override { webengine_sitedata::clearCache(); }
  bool removeStorage() override { return webengine_sitedata::removeStorage(); }
  void setThirdPartyCookies(bool allow) override { webengine_sitedata::setThirdPartyCookies(allow); }
  QObject* cookieNotifier() override { return webengine_sitedata::notifier(); }
};

}  // namespace

IWebEngineSide* webEngineSide() {
  static WebEngineSide side;
  return &side;
}
