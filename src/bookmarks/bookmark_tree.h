#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// One bookmark: a folder (name and ordered entries) or a link (name and
// address). This is what the file reader returns and the writer takes.
struct BookmarkEntry {
  enum class Kind { Link, Folder };

  Kind kind = Kind::Link;
  QString name;
  QString address;                     // links only
  std::vector<BookmarkEntry> entries;  // folders only

  static BookmarkEntry link(QString name, QString address) {
    return BookmarkEntry{Kind::Link, std::move(name), std::move(address), {}};
  }
  static BookmarkEntry folder(QString name, std::vector<BookmarkEntry> entries = {}) {
    return BookmarkEntry{Kind::Folder, std::move(name), QString(), std::move(entries)};
  }

  bool isFolder() const { return kind == Kind::Folder; }
  friend bool operator==(const BookmarkEntry&, const BookmarkEntry&) = default;
};

// The top level of the bookmarks, in file order.
using BookmarkTree = std::vector<BookmarkEntry>;

namespace bookmarks {

// The address-list entry of a folder node read from the file.
inline const QString kFolderMarker = QStringLiteral("フォルダ");

// One entry per node in pre-order: a link's address, a folder's marker.
QStringList urlListPreOrder(const BookmarkTree& tree);

// Number of nodes in the whole tree.
qsizetype nodeCount(const BookmarkTree& tree);

// A menu item's caption: "&" before the name makes its first character the
// access key; an "&" of the name itself is doubled so it shows as typed.
QString menuCaption(const QString& name);

}  // namespace bookmarks
