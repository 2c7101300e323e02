#pragma once

#include <QFile>
#include <QString>
#include <QTest>

#include "bookmarks/bookmark_tree.h"
#include "file_util.h"

namespace bmtest {

// A readable form of a tree for failure messages: "F(name)[...]", "L(name|url)".
inline QString dump(const BookmarkTree& tree) {
  QString out;
  for (const BookmarkEntry& e : tree) {
    if (!out.isEmpty()) out += u',';
    if (e.isFolder())
      out += QStringLiteral("F(%1)[%2]").arg(e.name, dump(e.entries));
    else
      out += QStringLiteral("L(%1|%2)").arg(e.name, e.address);
  }
  return out;
}

using ::readAll;
using ::writeRaw;

using E = BookmarkEntry;

}  // namespace bmtest

#define COMPARE_TREES(actual, expected)                   \
  QCOMPARE(bmtest::dump(actual), bmtest::dump(expected)); \
  QVERIFY((actual) == (expected))
