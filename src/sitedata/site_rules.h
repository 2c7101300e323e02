#pragma once

// Which site a host's stored data belongs to, the engines' records of it
// merged per site, and the time ranges of clearing browsing data.
#include <QList>
#include <QString>
#include <QStringList>

namespace sitedata {

// The site a host belongs to, as a user thinks of it: its last two labels
// ("www.example.org" -> "example.org"), or three under a known second-level
// name of a country ("shop.example.co.jp" -> "example.co.jp"). Addresses
// (IPv4, IPv6) and one-label names ("localhost") are their own site. A
// leading dot (cookie domains) and a trailing one are dropped; the result
// is in lower case. Empty for an empty host.
QString registrableSite(const QString& host);

enum class Engine { WebEngine, WebKit };

// One thing an engine reports: data stored under a name (a cookie's domain,
// WebKit's site name), with how many cookies and how many bytes where the
// engine tells (-1: it does not).
struct EngineRecord {
  Engine engine = Engine::WebEngine;
  QString name;
  int cookies = 0;
  qint64 bytes = -1;
  QStringList kinds;  // what is stored, in the engine's words
};

// A site as the site data window lists it.
struct SiteRow {
  QString site;
  int cookies = 0;
  qint64 bytes = -1;
  QStringList kinds;
  // The names each engine knows the site's data by, to delete it with.
  QStringList webEngineNames;
  QStringList webKitNames;
};

// The records merged per site, sorted by site. Records of no site are left out.
QList<SiteRow> mergeBySite(const QList<EngineRecord>& records);

// What the list shows as the amount: "Cookie 2 件、12.0 KB".
QString amountText(const SiteRow& row);

// The time ranges of clearing, as the dialog offers them.
enum class ClearRange { LastHour, LastDay, LastWeek, All };
QString clearRangeLabel(ClearRange range);
// The first moment that is cleared (ms since the epoch); 0 for all time.
qint64 clearRangeStart(ClearRange range, qint64 nowMs);

}  // namespace sitedata
