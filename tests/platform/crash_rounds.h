#pragma once

// What the crash saver writes in round n: contents of differing sizes, so a
// torn file cannot pass for a whole one.
#include <QString>

#include "bookmarks/bookmark_tree.h"

inline QString crashText(int n) { return QString(n % 97 + 1, u'字') + QString::number(n); }

inline BookmarkTree crashTree(int n) {
  BookmarkTree tree;
  for (int k = 0; k <= n % 23; ++k)
    tree.push_back(BookmarkEntry::link(QStringLiteral("%1-%2").arg(n).arg(k), QStringLiteral("http://h/%1").arg(k)));
  return tree;
}
