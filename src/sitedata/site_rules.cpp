#include "sitedata/site_rules.h"

#include <QHostAddress>
#include <QMap>
#include <array>

namespace sitedata {

namespace {
// Second-level names under which sites register a third label.
constexpr std::array<const char*, 12> kSecondLevel = {
    "co.jp", "ne.jp", "or.jp", "ac.jp", "go.jp", "ad.jp", "ed.jp", "gr.jp", "lg.jp", "co.uk", "org.uk", "ac.uk",
};
}  // namespace

QString registrableSite(const QString& host) {
  QString h = host.trimmed().toLower();
  while (h.startsWith(u'.')) h.remove(0, 1);
  while (h.endsWith(u'.')) h.chop(1);
  if (h.startsWith(u'[') && h.endsWith(u']')) return h;  // IPv6 as a URL writes it
  if (h.isEmpty() || !QHostAddress(h).isNull()) return h;
  const QStringList labels = h.split(u'.');
  if (labels.contains(QString())) return h;  // not a name a site registers
  if (labels.size() <= 2) return h;
  const QString lastTwo = labels.mid(labels.size() - 2).join(u'.');
  for (const char* known : kSecondLevel)
    if (lastTwo == QLatin1String(known)) return labels.mid(labels.size() - 3).join(u'.');
  return lastTwo;
}

QList<SiteRow> mergeBySite(const QList<EngineRecord>& records) {
  QMap<QString, SiteRow> rows;
  for (const EngineRecord& r : records) {
    const QString site = registrableSite(r.name);
    if (site.isEmpty()) continue;
    SiteRow& row = rows[site];
    row.site = site;
    row.cookies += r.cookies;
    if (r.bytes >= 0) row.bytes = (row.bytes < 0 ? 0 : row.bytes) + r.bytes;
    for (const QString& k : r.kinds)
      if (!row.kinds.contains(k)) row.kinds.append(k);
    QStringList& names = r.engine == Engine::WebEngine ? row.webEngineNames : row.webKitNames;
    if (!names.contains(r.name)) names.append(r.name);
  }
  return rows.values();
}

QString amountText(const SiteRow& row) {
  QStringList parts;
  if (row.cookies > 0) parts << QStringLiteral("Cookie %1 件").arg(row.cookies);
  if (row.bytes > 0) {
    if (row.bytes < 1024)
      parts << QStringLiteral("%1 バイト").arg(row.bytes);
    else if (row.bytes < 1024 * 1024)
      parts << QStringLiteral("%1 KB").arg(double(row.bytes) / 1024, 0, 'f', 1);
    else
      parts << QStringLiteral("%1 MB").arg(double(row.bytes) / (1024 * 1024), 0, 'f', 1);
  }
  return parts.join(QStringLiteral("、"));
}

QString clearRangeLabel(ClearRange range) {
  switch (range) {
    case ClearRange::LastHour:
      return QStringLiteral("過去 1 時間");
    case ClearRange::LastDay:
      return QStringLiteral("過去 24 時間");
    case ClearRange::LastWeek:
      return QStringLiteral("過去 7 日間");
    case ClearRange::All:
      break;
  }
  return QStringLiteral("すべて");
}

qint64 clearRangeStart(ClearRange range, qint64 nowMs) {
  constexpr qint64 hour = 3600 * 1000;
  switch (range) {
    case ClearRange::LastHour:
      return nowMs - hour;
    case ClearRange::LastDay:
      return nowMs - 24 * hour;
    case ClearRange::LastWeek:
      return nowMs - 7 * 24 * hour;
    case ClearRange::All:
      break;
  }
  return 0;
}

}  // namespace sitedata
