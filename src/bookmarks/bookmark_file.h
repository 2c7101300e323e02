#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <optional>

#include "bookmarks/bookmark_tree.h"
#include "platform/errors.h"

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
  // Read only in part: the bytes were not a clean bookmark document (not
  // well-formed, not decodable, a document type declaration, nested too
  // deep), or held what the entries cannot carry (see `foreign`), or
  // characters were replaced (see `replaced`). A save would not give them
  // back, so the original is kept before it is first replaced.
  bool damaged = false;
  // Well-formed, but with more than the entries carry: other elements inside
  // an entry, attributes, comments, processing instructions, stray text.
  bool foreign = false;
  // Characters the file format cannot hold (control characters, U+FFFE,
  // U+FFFF) were read as U+FFFD, so whatever was read can be saved again.
  bool replaced = false;
};

// Reads the entries the entry rules can take from `bytes`. Never fails:
// whatever cannot be read yields fewer entries (or none). A link's address
// is its `url` element when it has one, so that other elements beside it
// never take the address's place; without one, the entry rules apply.
ReadResult parseBookmarks(QByteArrayView bytes, TopLevelAddress rule);

// The bytes a read found, or nullopt when there was no file.
using FileVersion = std::optional<QByteArray>;

// Reads the file at `path`; a missing file, or anything but a readable
// regular file, gives no entries. When `path` is missing, the same file
// spelled "BookMark.xml" (as older saves named it) is read instead. A file
// read only in part is reported once per content, through the reporter,
// naming the copy of it that the next save keeps. `version` receives what
// was read.
BookmarkTree readBookmarkFile(const QString& path, TopLevelAddress rule, FileVersion* version = nullptr);

// Where readBookmarkFile reports a file read only in part (none: nowhere).
void setReadReporter(std::function<void(const QString& message)> reporter);

// The complete file for `tree`. Throws ZelvoError for a tree the file cannot
// hold (a character XML does not allow, folders nested too deep).
QByteArray serializeBookmarks(const BookmarkTree& tree);

// The save found the file changed since `expected` was read; nothing was
// written over it.
class EBookmarksChanged : public ZelvoError {
 public:
  using ZelvoError::ZelvoError;
};

// Replaces the file at `path` with `tree` atomically, under the lock shared
// by running copies. The file replaced is kept as "<name>.bak" (one
// generation); a file that reads only in part is also kept as
// "<name>.orig" (".orig.2", ... when that holds something else), which no
// later save replaces. With `expected`, a file that no longer holds those
// bytes is not replaced: it is copied to "<name>.bak" and EBookmarksChanged
// is thrown (a file removed meanwhile is simply written). A file named "BookMark.xml" read in place of a missing `path`
// becomes the backup. On failure the old file is unchanged and EInOutError
// (or ZelvoError from serializeBookmarks) is thrown. Returns the bytes
// written.
QByteArray saveBookmarkFile(const QString& path, const BookmarkTree& tree, const FileVersion* expected = nullptr);

// Finishes or clears what an interrupted save left beside the file at
// `path` and beside its backups (run at start-up).
void recoverInterruptedSave(const QString& path);

// Folder levels the writer accepts; the reader's nesting limit lies above.
inline constexpr int kMaxFolderDepth = 200;

}  // namespace bookmarks
