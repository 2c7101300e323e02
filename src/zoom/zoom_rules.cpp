#include "zoom/zoom_rules.h"

#include <QUrl>
#include <algorithm>
#include <array>

namespace zoom {

namespace {
constexpr std::array<int, 17> kSteps = {25, 33, 50, 67, 75, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300, 400, 500};
constexpr int kMaxSiteLength = 300;
}  // namespace

std::span<const int> steps() { return kSteps; }

int nextLevel(int level) {
  const auto it = std::upper_bound(kSteps.begin(), kSteps.end(), level);
  return it == kSteps.end() ? kSteps.back() : *it;
}

int previousLevel(int level) {
  const auto it = std::lower_bound(kSteps.begin(), kSteps.end(), level);
  return it == kSteps.begin() ? kSteps.front() : *(it - 1);
}

int clampLevel(int level) { return std::clamp(level, kMinLevel, kMaxLevel); }

QString siteKey(const QString& url) {
  const QUrl u(url, QUrl::StrictMode);
  if (!u.isValid()) return {};
  const QString scheme = u.scheme().toLower();
  if (scheme == QLatin1String("file")) return QStringLiteral("file://");
  if (scheme != QLatin1String("http") && scheme != QLatin1String("https") && scheme != QLatin1String("ftp")) return {};
  const QString host = u.host(QUrl::FullyEncoded).toLower();
  if (host.isEmpty()) return {};
  const int port = u.port(scheme == QLatin1String("https") ? 443 : scheme == QLatin1String("ftp") ? 21 : 80);
  const bool v6 = host.contains(u':');
  const QString key = scheme + QStringLiteral("://") + (v6 ? u'[' + host + u']' : host) + u':' + QString::number(port);
  return key.size() <= kMaxSiteLength ? key : QString();
}

QList<SiteLevel> parseTable(const QByteArray& text) {
  QList<SiteLevel> table;
  if (text.size() > kMaxTableBytes) return table;
  for (const QByteArray& line : text.split('\n')) {
    const qsizetype tab = line.indexOf('\t');
    if (tab <= 0) continue;
    const QString site = QString::fromUtf8(line.left(tab));
    // "level" or "level<TAB>ms of the change"; a table without times is older than any.
    const QList<QByteArray> rest = line.mid(tab + 1).trimmed().split('\t');
    if (rest.size() > 2) continue;
    bool ok = false;
    const int level = rest[0].toInt(&ok);
    if (!ok || level == kDefaultLevel || !std::binary_search(kSteps.begin(), kSteps.end(), level)) continue;
    qint64 changedMs = 0;
    if (rest.size() == 2) {
      changedMs = rest[1].toLongLong(&ok);
      if (!ok || changedMs < 0) continue;
    }
    // Only what siteKey() itself makes: no other text reaches a lookup.
    if (siteKey(site) != site) continue;
    table = withLevel(std::move(table), site, level, changedMs);
  }
  return table;
}

QByteArray writeTable(const QList<SiteLevel>& table) {
  QByteArray out;
  for (const SiteLevel& e : table) {
    out += e.site.toUtf8() + '\t' + QByteArray::number(e.level);
    if (e.changedMs > 0) out += '\t' + QByteArray::number(e.changedMs);
    out += '\n';
  }
  return out;
}

QList<SiteLevel> withLevel(QList<SiteLevel> table, const QString& site, int level, qint64 changedMs) {
  table.removeIf([&](const SiteLevel& e) { return e.site == site; });
  if (level != kDefaultLevel) table.append({site, level, changedMs});
  while (table.size() > kMaxSites) table.removeFirst();
  return table;
}

int levelOf(const QList<SiteLevel>& table, const QString& site) {
  for (const SiteLevel& e : table)
    if (e.site == site) return e.level;
  return kDefaultLevel;
}

}  // namespace zoom
