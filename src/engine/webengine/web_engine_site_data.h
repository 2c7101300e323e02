#pragma once

// The cookies of the Qt WebEngine profile, watched from its creation on so
// that they can be listed and deleted per site, and the rule about
// third-party cookies. Qt tells nothing else a site stored (local storage,
// IndexedDB, ...) per site: that is only cleared as a whole.
#include <QList>
#include <QNetworkCookie>
#include <QObject>
#include <QStringList>

#include "engine/webengine_side.h"

class QWebEngineProfile;

namespace webengine_sitedata {

// Refuses third-party cookies in the profile unless allowed; for every
// profile, private ones too.
void filterCookies(QWebEngineProfile* profile);
// Set up by the profile that keeps data as it is made: starts watching its
// cookies.
void prepare(QWebEngineProfile* profile);

// Whether pages may set cookies for other sites than their own (never by default).
void setThirdPartyCookies(bool allow);

// The cookies known, each with when it was set or last changed in this run.
using Cookie = WebEngineCookie;
QList<Cookie> cookies();

// Deletes the cookies whose domain (without a leading dot) is one of domains.
void removeCookies(const QStringList& domains);
// Deletes the cookies set or changed from sinceMs on (0: all of them).
void clearCookies(qint64 sinceMs);
void clearCache();
// Removes the folders of what sites stored besides cookies (local storage,
// IndexedDB, service workers, ...). Only while no page of the profile is
// open: false (and nothing removed) otherwise.
bool removeStorage();

// Emits changed() when the cookies change.
QObject* notifier();

}  // namespace webengine_sitedata
