#include "bookmarks/bookmark_bar.h"

#include <QTreeWidget>

namespace bookmarks {

QTreeWidgetItem* newBarNode(const BookmarkEntry& entry, QStringList& urlList, const BarIcons& icons) {
  auto* node = new QTreeWidgetItem(QStringList(entry.name));
  node->setIcon(0, entry.isFolder() ? icons.folder : icons.link);
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
