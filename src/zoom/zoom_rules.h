#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <span>

// Page zoom as the user steps it: levels in percent, the site a level is
// remembered for, and the remembered table as it is kept on disk.
namespace zoom {

inline constexpr int kDefaultLevel = 100;
inline constexpr int kMinLevel = 25;
inline constexpr int kMaxLevel = 500;

// 25 .. 500, ascending.
std::span<const int> steps();

// The first step above `level` (the top step stays), and the last below it
// (the bottom step stays). Any level works, a step or not.
int nextLevel(int level);
int previousLevel(int level);
// `level` within 25..500, as the engines are given it.
int clampLevel(int level);

// The site a level is kept for: scheme, host and port of an address
// ("https://example.jp:443"); file addresses share "file://". Empty for
// addresses of no site (about:, data:, view-source:, malformed).
QString siteKey(const QString& url);

struct SiteLevel {
  QString site;
  int level = kDefaultLevel;
  qint64 changedMs = 0;  // when the user set it (ms since the epoch); 0 when not known
};

// The remembered table, oldest change first, at most kMaxSites entries.
inline constexpr int kMaxSites = 2000;
inline constexpr qint64 kMaxTableBytes = 512 * 1024;
// One "site<TAB>level<TAB>ms" per line (the time may be missing). The file is read as hostile input: a line
// whose site is not a site key as siteKey() makes it, or whose level is not
// a step, is left out; a site given twice keeps its last level.
QList<SiteLevel> parseTable(const QByteArray& text);
QByteArray writeTable(const QList<SiteLevel>& table);
// The table with `site` at `level` (100 takes it out), as the newest
// change; the oldest ones go beyond kMaxSites.
QList<SiteLevel> withLevel(QList<SiteLevel> table, const QString& site, int level, qint64 changedMs = 0);
// The level kept for `site`, or 100.
int levelOf(const QList<SiteLevel>& table, const QString& site);

}  // namespace zoom
