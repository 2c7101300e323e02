#pragma once

// What "閲覧履歴を消去" can remove, and who removes it: each part of the
// program that keeps a kind of the user's traces registers a clearer for
// it. The dialog offers only the kinds something is registered for, and
// runs every clearer of each kind the user ticked.
#include <QList>
#include <QString>
#include <functional>

namespace sitedata {

enum class DataKind { History, CookiesAndSiteData, Cache, DownloadList, PermissionsAndZoom, Passwords };

// The check box of the kind ("閲覧履歴", ...) and whether it starts ticked.
QString dataKindLabel(DataKind kind);
bool dataKindOnByDefault(DataKind kind);

// Removes what was stored from sinceMs (ms since the epoch) on; 0 for all time.
using Clearer = std::function<void(qint64 sinceMs)>;

// Registers clear under name for kind; a clearer of the same name replaces
// the earlier one (a frame made again registers again).
void registerClearer(DataKind kind, const QString& name, Clearer clear);
void unregisterClearer(const QString& name);
// The kinds with a clearer, in the dialog's order.
QList<DataKind> registeredKinds();
// Runs the clearers of kinds. Each runs even when one before it failed;
// the first failure is thrown once all have run.
void clearData(const QList<DataKind>& kinds, qint64 sinceMs);

}  // namespace sitedata
