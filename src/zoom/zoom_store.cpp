#include "zoom/zoom_store.h"

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
  QString why;
  if (!atomicReplaceFile(path, writeTable(withLevel(before, site, level)), &why))
    throw EInOutError(QStringLiteral("%1 に書き込めません").arg(QDir::toNativeSeparators(path)));
}

}  // namespace zoom
