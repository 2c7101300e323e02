// Any bytes as a bookmark HTML file: what is read must fit in bookmark.xml
// below a top-level folder, and must export and import back unchanged.
#include <cstdio>
#include <cstdlib>

#include "bookmarks/bookmark_file.h"
#include "bookmarks/bookmark_html.h"
#include "platform/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto read = bookmarks::importBookmarkHtml(QByteArrayView(data, qsizetype(size)));
  if (read.entries.empty()) return 0;
  try {
    bookmarks::serializeBookmarks({BookmarkEntry::folder(QStringLiteral("import"), read.entries)});
  } catch (const ZelvoError& e) {
    std::fprintf(stderr, "an import cannot be saved: %s\n", qPrintable(e.text()));
    std::abort();
  }
  const auto back = bookmarks::importBookmarkHtml(bookmarks::exportBookmarkHtml(read.entries));
  if (!(back.entries == read.entries)) {
    std::fprintf(stderr, "an exported import reads back differently\n");
    std::abort();
  }
  return 0;
}
