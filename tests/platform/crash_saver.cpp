// Saves config.ini and bookmark.xml in the given folder over and over, as
// the program does, until it is killed. Each round n writes "Counter" = n,
// then "Text" = crashText(n), then the bookmark tree crashTree(n); it starts
// again at the round the file's counter names, which may be unfinished.
#include <QCoreApplication>
#include <QDir>

#include "bookmarks/bookmark_file.h"
#include "crash_rounds.h"
#include "platform/ini_file.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) return 2;
  const QDir dir(QString::fromLocal8Bit(argv[1]));
  IniFile ini(dir.filePath(QStringLiteral("config.ini")));
  const QString bookmarkPath = dir.filePath(QStringLiteral("bookmark.xml"));
  for (int n = qMax(1, ini.ReadInteger(QStringLiteral("General"), QStringLiteral("Counter"), 0));; ++n) {
    ini.WriteInteger(QStringLiteral("General"), QStringLiteral("Counter"), n);
    ini.WriteString(QStringLiteral("General"), QStringLiteral("Text"), crashText(n));
    bookmarks::saveBookmarkFile(bookmarkPath, crashTree(n));
  }
}
