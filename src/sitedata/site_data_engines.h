#pragma once

// The site data of both engines as one: listed and merged per site,
// deleted per site or all at once, cleared by age, and the rule about
// third-party cookies, for Qt WebEngine and the WebKit host alike.
//
// What each engine can do: WebEngine lists and deletes cookies per site;
// what else its sites stored (local storage, IndexedDB, ...) Qt does not
// tell per site, so it is deleted only with everything, and only while no
// WebEngine window is open. WebKit lists, sizes and deletes everything
// per site and by age.
#include <functional>

#include "sitedata/site_rules.h"

namespace sitedata {

// done gets the sites of both engines (WebKit's host is asked; one that
// cannot be started leaves its part out).
void fetchSites(std::function<void(const QList<SiteRow>&)> done);
// Deletes the site's data in both engines (WebEngine: its cookies).
void removeSite(const SiteRow& row, std::function<void()> done);
// Deletes every site's data in both engines. False when WebEngine's
// storage besides cookies stayed because one of its windows is open.
bool removeAllSites(std::function<void()> done);
// Clears what was stored from sinceMs on (0: all): cookies and site data,
// and/or caches. WebEngine's cache is cleared whole whatever the range, its
// storage besides cookies only with all time.
void clearStored(bool siteData, bool cache, qint64 sinceMs, std::function<void()> done);

void setThirdPartyCookies(bool allow);
// Starts hearing which cookies the engines set, for clearing a time range.
void watchEngines();

}  // namespace sitedata
