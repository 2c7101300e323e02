// Any bytes as a bookmark HTML file: what is read must fit in bookmark.xml
// below a top-level folder, and must export and import back unchanged.
#include <cstdio>
#include <cstdlib>

#include "bookmarks/bookmark_file.h"
#include "bookmarks/bookmark_html.h"
#include "platform/errors.h"

namespace {

void dump(const BookmarkTree& tree, int depth) {
  for (const BookmarkEntry& e : tree) {
    std::fprintf(stderr, "%*s%s [%s] [%s]\n", depth * 2, "", e.isFolder() ? "F" : "L", qPrintable(e.name),
                 qPrintable(e.address));
    dump(e.entries, depth + 1);
  }
}

}  // namespace

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
    dump(read.entries, 0);
    std::fprintf(stderr, "--- read back:\n");
    dump(back.entries, 0);
    std::abort();
  }
  return 0;
}
