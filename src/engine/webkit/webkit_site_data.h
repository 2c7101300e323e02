#pragma once

// The WebKit engine's stored site data, asked of its host: listed per
// site (WebKit's own site names, with the size where it knows it), removed
// per site, or cleared by age. Answers arrive later, in the event loop; a
// host that ends meanwhile answers with nothing.
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace webkit_sitedata {

struct Record {
  QString name;       // WebKit's name of the site ("example.org")
  QStringList kinds;  // "cookies", "local-storage", "cache", ...
  qint64 bytes = -1;  // -1: not known
};

// Starts hearing of the cookies the host sees set, from the start of the
// program on: a time range's cookies are those.
void watch();

void fetch(std::function<void(const QList<Record>&)> done);
void remove(const QStringList& names, std::function<void()> done);
// Clears what was stored from sinceMs on (0: all): the site data (cookies,
// storage) and/or the cache. Of a range, the cookies are those the host
// was seen to set or change in this run.
void clear(bool siteData, bool cache, qint64 sinceMs, std::function<void()> done);

}  // namespace webkit_sitedata
