#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include "bookmarks/bookmark_tree.h"

// The bookmark HTML file that browsers export and import
// (<!DOCTYPE NETSCAPE-Bookmark-file-1>): folders are <H3> followed by a
// <DL> of their entries, links are <A HREF>. Turned into the one bookmark
// tree and back; bookmark.xml is none of this module's business.
namespace bookmarks {

struct HtmlImport {
  BookmarkTree entries;
  int links = 0;
  int folders = 0;
  int linksWithoutAddress = 0;   // <A> without HREF: skipped
  int foldersTooDeep = 0;        // their entries went to the deepest folder kept
  bool recognised = false;       // the document type of the format was there
  QString encoding;              // what the bytes were read as
  bool unknownEncoding = false;  // declared, but not known here: read as UTF-8
};

// Reads what can be read; never fails. The bytes are read in the encoding
// the file declares (byte order mark, or a <META> charset), else UTF-8.
// Names and addresses hold no character bookmark.xml cannot hold, and
// folders nest no deeper than bookmark.xml allows below a folder of its top
// level (where an import is put).
HtmlImport importBookmarkHtml(QByteArrayView bytes);

// The file at `path` read as above. Only a regular file is read (a FIFO or
// a device is refused at once), and none far larger than any bookmark
// file. Throws EInOutError when it cannot be read, ZelvoError when it is
// too large.
HtmlImport readBookmarkHtmlFile(const QString& path);

// The whole tree as such a file, in UTF-8.
QByteArray exportBookmarkHtml(const BookmarkTree& tree);

// The encoding named by a byte order mark or a <META> charset among the
// first bytes of the file, or empty.
QString declaredCharset(QByteArrayView bytes);

}  // namespace bookmarks
