#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include "bookmarks/bookmark_tree.h"

// The bookmark file: Shift_JIS XML with the document element `bookmark`,
// entries `file` (name, url) and `directory` (name, entries...).
namespace bookmarks {

// Read and saved by this bare name, so it is the file in the process's
// current directory at the moment of each read or save.
inline const QString kFileName = QStringLiteral("bookmark.xml");

// Where a top-level link's address is taken from. The side bar and the
// editor take the node after the name; the menu, like every reader below
// the top level, takes the entry's last child. In a file this program
// writes both are the `url` element.
enum class TopLevelAddress { LastChild, NodeAfterName };

struct ReadResult {
  BookmarkTree entries;
  // The bytes were not a clean bookmark document (not well-formed, not
  // decodable, or carrying a document type declaration whose entities are
  // not expanded): a save would not give them back, so the original is kept
  // as a backup before it is first replaced.
  bool damaged = false;
};

// Reads the entries the entry rules can take from `bytes`. Never fails:
// whatever cannot be read yields fewer entries (or none).
ReadResult parseBookmarks(QByteArrayView bytes, TopLevelAddress rule);

// Reads the file at `path`; a missing or unreadable file gives no entries.
BookmarkTree readBookmarkFile(const QString& path, TopLevelAddress rule);

// The complete file for `tree`. Throws ZelvoError for a tree the file cannot
// hold (a character XML does not allow, folders nested too deep).
QByteArray serializeBookmarks(const BookmarkTree& tree);

// Replaces the file at `path` with `tree` atomically. Before an existing file
// that does not read cleanly is first replaced, it is kept beside it as
// "<name>.bak". On failure the old file is unchanged and EInOutError (or
// ZelvoError from serializeBookmarks) is thrown.
void saveBookmarkFile(const QString& path, const BookmarkTree& tree);

// Folder levels the writer accepts; the reader's nesting limit lies above.
inline constexpr int kMaxFolderDepth = 200;

}  // namespace bookmarks
