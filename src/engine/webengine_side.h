#pragma once

// Qt WebEngine lives in a library of its own, loaded the first time
// something needs it: start-up never waits for it, and a frame that shows
// only Gecko windows never maps it. Everything the frame asks of Qt
// WebEngine outside its windows goes through this side.
#include <QList>
#include <QNetworkCookie>
#include <QStringList>

class IWebBrowser2;
class QObject;
class QWidget;

// A cookie of the Qt WebEngine profile, with when it was set or last
// changed in this run (ms since the epoch; 0 for those stored before it).
struct WebEngineCookie {
  QNetworkCookie cookie;
  qint64 seenMs = 0;
};

class IWebEngineSide {
 public:
  virtual ~IWebEngineSide() = default;
  // The control of a new window.
  virtual IWebBrowser2* createControl(QWidget* parent, bool isPrivate) = 0;
  // Readying before the first window: the profile brings up the engine,
  // the spare page its first renderer.
  virtual void prepareProfile() = 0;
  virtual void prepareSparePage() = 0;

  // Cookies and site data of the profile that keeps them.
  virtual QList<WebEngineCookie> cookies() = 0;
  // Deletes the cookies whose domain (without a leading dot) is one of domains.
  virtual void removeCookies(const QStringList& domains) = 0;
  // Deletes the cookies set or changed from sinceMs on (0: all of them).
  virtual void clearCookies(qint64 sinceMs) = 0;
  virtual void clearCache() = 0;
  // Removes what sites stored besides cookies; false (and nothing removed)
  // while a page of the profile is open.
  virtual bool removeStorage() = 0;
  virtual void setThirdPartyCookies(bool allow) = 0;
  // Emits changed() when the cookies change.
  virtual QObject* cookieNotifier() = 0;
};

namespace webengine_side {

// Loads the library on first use; EEngineError when it cannot be.
IWebEngineSide& get();
// Whether anything of Qt WebEngine runs in this process yet.
bool isLoaded();
// The third-party cookie rule, applied now or when the library loads.
void setThirdPartyCookies(bool allow);
// Programs that link Qt WebEngine themselves (the tests) use their own.
void useInProcess(IWebEngineSide* side);

}  // namespace webengine_side
