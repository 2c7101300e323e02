#include "zoom/zoom_store.h"

#include <QDateTime>
#include <QDir>

#include "platform/atomic_file.h"
#include "platform/errors.h"
#include "platform/user_folders.h"
#include "zoom/zoom_rules.h"

namespace zoom {

namespace {
QList<SiteLevel> readTable(const QString& path) {
  QByteArray bytes;
  if (readRegularFile(path, &bytes, kMaxTableBytes) != FileRead::Ok) return {};
  return parseTable(bytes);
}

void write(const QString& path, const QList<SiteLevel>& table) {
  QString why;
  if (!atomicReplaceFile(path, writeTable(table), &why))
    throw EInOutError(QStringLiteral("%1 に書き込めません").arg(QDir::toNativeSeparators(path)));
}
}  // namespace

QString storePath() { return user_folders::data() + QStringLiteral("/zoom-levels"); }

int storedLevel(const QString& url) {
  const QString site = siteKey(url);
  if (site.isEmpty()) return kDefaultLevel;
  return levelOf(readTable(storePath()), site);
}

void storeLevel(const QString& url, int level) {
  const QString site = siteKey(url);
  if (site.isEmpty()) return;
  const QString path = storePath();
  const FileLock lock(path);
  const QList<SiteLevel> before = readTable(path);
  if (levelOf(before, site) == level) return;
  write(path, withLevel(before, site, level, QDateTime::currentMSecsSinceEpoch()));
}

void forgetFrom(qint64 sinceMs) {
  const QString path = storePath();
  const FileLock lock(path);
  QList<SiteLevel> table = readTable(path);
  const qsizetype before = table.size();
  table.removeIf([sinceMs](const SiteLevel& e) { return sinceMs <= 0 || e.changedMs >= sinceMs; });
  if (table.size() != before) write(path, table);
}

}  // namespace zoom
