#include "bookmarks/bookmark_bar.h"

#include <QTreeWidget>

#include "icons/site_icons.h"

namespace bookmarks {

QTreeWidgetItem* newBarNode(const BookmarkEntry& entry, QStringList& urlList, const BarIcons& icons) {
  auto* node = new QTreeWidgetItem(QStringList(entry.name));
  QIcon site;
  if (!entry.isFolder()) site = icons::SiteIcons::instance().iconFor(entry.address);
  node->setIcon(0, entry.isFolder() ? icons.folder : site.isNull() ? icons.link : site);
  urlList << (entry.isFolder() ? kFolderMarker : entry.address);
  LoadBarFolder(entry, node, urlList, icons);
  return node;
}

void LoadBarFolder(const BookmarkEntry& entry, QTreeWidgetItem* node, QStringList& urlList, const BarIcons& icons) {
  if (!entry.isFolder() || entry.entries.empty()) return;
  // Built before the node joins a tree, the children go in as one batch.
  QList<QTreeWidgetItem*> children;
  children.reserve(qsizetype(entry.entries.size()));
  for (const BookmarkEntry& e : entry.entries) children << newBarNode(e, urlList, icons);
  node->addChildren(children);
}

void showSiteIcons(QTreeWidget* tree, const QStringList& urls,
                   const std::function<bool(const QTreeWidgetItem*, const QString&)>& isLink, const QIcon& fallback) {
  qsizetype index = 0;
  auto walk = [&](QTreeWidgetItem* node, auto& self) -> void {
    const QString url = urls.value(index++);
    if (isLink(node, url)) {
      const QIcon site = icons::SiteIcons::instance().iconFor(url);
      node->setIcon(0, site.isNull() ? fallback : site);
    }
    for (int i = 0; i < node->childCount(); ++i) self(node->child(i), self);
  };
  for (int i = 0; i < tree->topLevelItemCount(); ++i) walk(tree->topLevelItem(i), walk);
}

qsizetype absoluteIndex(const QTreeWidget* tree, const QTreeWidgetItem* node) {
  // Preceding siblings' subtrees plus one for each ancestor, level by level.
  auto subtree = [](const QTreeWidgetItem* n, auto& self) -> qsizetype {
    qsizetype size = 1;
    for (int i = 0; i < n->childCount(); ++i) size += self(n->child(i), self);
    return size;
  };
  qsizetype index = 0;
  for (const QTreeWidgetItem* n = node; n; n = n->parent()) {
    const QTreeWidgetItem* p = n->parent();
    const int row = p ? p->indexOfChild(const_cast<QTreeWidgetItem*>(n))
                      : tree->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(n));
    for (int r = 0; r < row; ++r) index += subtree(p ? p->child(r) : tree->topLevelItem(r), subtree);
    if (p) ++index;
  }
  return index;
}

}  // namespace bookmarks
