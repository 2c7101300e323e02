#include "sitedata/data_clearers.h"

#include <exception>

namespace sitedata {

namespace {
struct Entry {
  DataKind kind;
  QString name;
  Clearer clear;
};
QList<Entry>& entries() {
  static QList<Entry> list;
  return list;
}
constexpr DataKind kOrder[] = {DataKind::History,      DataKind::CookiesAndSiteData, DataKind::Cache,
                               DataKind::DownloadList, DataKind::PermissionsAndZoom, DataKind::Passwords};
}  // namespace

QString dataKindLabel(DataKind kind) {
  switch (kind) {
    case DataKind::History:
      return QStringLiteral("閲覧履歴");
    case DataKind::CookiesAndSiteData:
      return QStringLiteral("Cookie とサイトデータ");
    case DataKind::Cache:
      return QStringLiteral("キャッシュ");
    case DataKind::DownloadList:
      return QStringLiteral("ダウンロードの一覧");
    case DataKind::PermissionsAndZoom:
      return QStringLiteral("サイトの許可とズーム");
    case DataKind::Passwords:
      break;
  }
  return QStringLiteral("保存したパスワード");
}

bool dataKindOnByDefault(DataKind kind) { return kind != DataKind::Passwords; }

void registerClearer(DataKind kind, const QString& name, Clearer clear) {
  unregisterClearer(name);
  entries().append({kind, name, std::move(clear)});
}

void unregisterClearer(const QString& name) {
  entries().removeIf([&](const Entry& e) { return e.name == name; });
}

QList<DataKind> registeredKinds() {
  QList<DataKind> out;
  for (DataKind k : kOrder)
    for (const Entry& e : entries())
      if (e.kind == k) {
        out.append(k);
        break;
      }
  return out;
}

void clearData(const QList<DataKind>& kinds, qint64 sinceMs) {
  std::exception_ptr first;
  // A copy: a clearer may register or unregister others.
  const QList<Entry> all = entries();
  for (const Entry& e : all) {
    if (!kinds.contains(e.kind)) continue;
    try {
      e.clear(sinceMs);
    } catch (...) {
      if (!first) first = std::current_exception();
    }
  }
  if (first) std::rethrow_exception(first);
}

}  // namespace sitedata
