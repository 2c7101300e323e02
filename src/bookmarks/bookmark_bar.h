#pragma once

#include <QIcon>
#include <QStringList>
#include <functional>

#include "bookmarks/bookmark_tree.h"

class QTreeWidget;
class QTreeWidgetItem;

// The side-bar tree loader: fills a bookmark tree's nodes and the address
// list kept beside them (one entry per node, in pre-order).
namespace bookmarks {

struct BarIcons {
  QIcon folder;
  QIcon link;
};

// Adds the entries of `entry` (when it is a folder) as children of `node`,
// and their address-list entries, recursively.
void LoadBarFolder(const BookmarkEntry& entry, QTreeWidgetItem* node, QStringList& urlList, const BarIcons& icons);

// A node for one entry, not yet in any tree, with its address-list entry
// appended and its subtree loaded.
QTreeWidgetItem* newBarNode(const BookmarkEntry& entry, QStringList& urlList, const BarIcons& icons);

// Gives each link node its site's icon where one is kept, else `fallback`.
// `urls` holds one entry per node in pre-order; `isLink` tells a link by
// its node and that entry.
void showSiteIcons(QTreeWidget* tree, const QStringList& urls,
                   const std::function<bool(const QTreeWidgetItem*, const QString&)>& isLink, const QIcon& fallback);

// The node's position when the whole tree is counted in pre-order from 0.
qsizetype absoluteIndex(const QTreeWidget* tree, const QTreeWidgetItem* node);

}  // namespace bookmarks
