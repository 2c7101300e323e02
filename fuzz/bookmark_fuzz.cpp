// Any bytes as a bookmark file: read it by an address rule; whatever was
// read must save, and read back cleanly as the same tree.
#include <cstdio>
#include <cstdlib>

#include "bookmarks/bookmark_file.h"
#include "platform/errors.h"

namespace {

void roundTrip(const uint8_t* data, size_t size, bookmarks::TopLevelAddress rule) {
  const auto read = bookmarks::parseBookmarks(QByteArrayView(data, qsizetype(size)), rule);
  if (read.entries.empty()) return;
  QByteArray written;
  try {
    written = bookmarks::serializeBookmarks(read.entries);
  } catch (const ZelvoError& e) {
    std::fprintf(stderr, "a tree that was read cannot be saved: %s\n", qPrintable(e.text()));
    std::abort();
  }
  const auto back = bookmarks::parseBookmarks(written, rule);
  if (back.damaged || !(back.entries == read.entries)) {
    std::fprintf(stderr, "saved tree reads back differently\n");
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One rule per input (by its last byte's low bit), which halves the cost
  // of each run; mutations reach both.
  const bool last = size > 0 && (data[size - 1] & 1) != 0;
  roundTrip(data, size, last ? bookmarks::TopLevelAddress::LastChild : bookmarks::TopLevelAddress::NodeAfterName);
  return 0;
}
