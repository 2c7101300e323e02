// Bookmarks of 10 000 entries in three levels: the frame's start-up work on
// them (read the file and build the menu, read it again and build the side
// bar), the editor's reading, a save, and bookmark HTML imports. Ten runs
// each; min / median / max.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "app/app_path.h"
#include "app/main_form.h"
#include "bookmarks/bookmark_editor.h"
#include "bookmarks/bookmark_file.h"
#include "bookmarks/bookmark_html.h"

namespace {

BookmarkTree tree() {
  // 10 folders x 10 folders x 99 links + the 110 folders = 10 010 entries.
  BookmarkTree top;
  for (int i = 0; i < 10; ++i) {
    std::vector<BookmarkEntry> mids;
    for (int j = 0; j < 10; ++j) {
      std::vector<BookmarkEntry> links;
      for (int k = 0; k < 99; ++k)
        links.push_back(
            BookmarkEntry::link(QStringLiteral("ブックマーク %1-%2-%3").arg(i).arg(j).arg(k),
                                QStringLiteral("https://example.org/%1/%2/page%3.html").arg(i).arg(j).arg(k)));
      mids.push_back(BookmarkEntry::folder(QStringLiteral("フォルダ %1-%2").arg(i).arg(j), std::move(links)));
    }
    top.push_back(BookmarkEntry::folder(QStringLiteral("フォルダ %1").arg(i), std::move(mids)));
  }
  return top;
}

void report(const char* what, const std::function<void()>& run, const char* goal) {
  std::vector<double> ms;
  for (int i = 0; i < 10; ++i) {
    QElapsedTimer t;
    t.start();
    run();
    ms.push_back(double(t.nsecsElapsed()) / 1e6);
  }
  std::sort(ms.begin(), ms.end());
  std::printf("%-34s min %7.1f  median %7.1f  max %7.1f ms  %s\n", what, ms.front(), (ms[4] + ms[5]) / 2, ms.back(),
              goal);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QTemporaryDir dir;
  QFile config(dir.filePath(QStringLiteral("config.ini")));
  if (!config.open(QIODevice::WriteOnly) || config.write("[General]\nLastEngine=IE\n") < 0) return 1;
  config.close();
  QDir::setCurrent(dir.path());
  setProgramFolderForTests(dir.path());

  const BookmarkTree entries = tree();
  bookmarks::saveBookmarkFile(bookmarks::kFileName, entries);
  std::printf("%lld entries, file of %lld bytes\n", static_cast<long long>(bookmarks::nodeCount(entries)),
              static_cast<long long>(QFile(bookmarks::kFileName).size()));

  TMainForm frame;
  report(
      "read + build menu + build tree",
      [&] {
        frame.BuildBookmarkMenu();
        frame.BuildBookmarkBar();
      },
      "(goal < 150 ms)");
  report(
      "  of which read + build menu", [&] { frame.BuildBookmarkMenu(); }, "");
  report(
      "  of which read + build tree", [&] { frame.BuildBookmarkBar(); }, "");
  report(
      "editor: read + fill its tree", [&] { Tfrm_BMEdit editor; }, "");
  report(
      "save", [&] { bookmarks::saveBookmarkFile(bookmarks::kFileName, entries); }, "(goal < 100 ms)");
  report(
      "  of which serialize", [&] { (void)bookmarks::serializeBookmarks(entries); }, "");
  report(
      "  of which parse",
      [&] { (void)bookmarks::readBookmarkFile(bookmarks::kFileName, bookmarks::TopLevelAddress::LastChild); }, "");

  // Bookmark HTML import: the same entries as another browser exports them,
  // and files of nothing but tags left open or never opened.
  const QByteArray exported = bookmarks::exportBookmarkHtml(entries);
  report(
      "HTML import, 10 010 entries", [&] { (void)bookmarks::importBookmarkHtml(exported); }, "");
  for (const qsizetype size : {qsizetype(560) << 10, qsizetype(5) << 20}) {
    QByteArray tags;
    while (tags.size() < size) tags += "<b></i><DL><p>";
    const QByteArray what = QByteArray("HTML import, ") + QByteArray::number(size >> 10) + " KB of unmatched tags";
    report(
        what.constData(), [&] { (void)bookmarks::importBookmarkHtml(tags); }, "(grows with the size, not its square)");
  }
  return 0;
}
