#include "bookmarks/bookmark_html.h"

#include <libxml/HTMLparser.h>
#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <QRegularExpression>
#include <climits>
#include <memory>
#include <vector>

#include "bookmarks/bookmark_file.h"

namespace bookmarks {

namespace {

void silent(void*, const char*, ...) {}

struct DocFree {
  void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};

bool isName(const xmlNode* n, const char* name) {
  return n->type == XML_ELEMENT_NODE && xmlStrcasecmp(n->name, BAD_CAST name) == 0;
}

// Only what bookmark.xml can hold: no control characters, no U+FFFE/U+FFFF,
// no half of a surrogate pair.
QString xmlSafe(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      out += text[i];
      out += text[++i];
    } else if (c == u'\t' || c == u'\n' || c == u'\r') {
      out += u' ';
    } else if (c >= 0x20 && !QChar::isSurrogate(c) && c != 0xFFFE && c != 0xFFFF) {
      out += text[i];
    }
  }
  return out;
}

bool isStructure(const xmlNode* n) {
  for (const char* name : {"dl", "dt", "dd", "h3", "a", "hr"})
    if (isName(n, name)) return true;
  return false;
}

// A name as the page shows it: the line breaks and indentation of the
// file are no part of it, nor is what a parser put inside an element left
// open (the entries that follow it).
QString nameText(const xmlNode* el) {
  QByteArray raw;
  const xmlNode* n = el->children;
  while (n) {
    if (n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) {
      if (n->content) raw += reinterpret_cast<const char*>(n->content);
    } else if (n->type == XML_ELEMENT_NODE && n->children && !isStructure(n)) {
      n = n->children;
      continue;
    }
    while (n && n != el && !n->next) n = n->parent;
    if (!n || n == el) break;
    n = n->next;
  }
  QString text = QString::fromUtf8(raw);
  static const QRegularExpression breaks(QStringLiteral("[ ]*[\\t\\r\\n][\\t\\r\\n ]*"));
  text.replace(breaks, QStringLiteral(" "));
  return xmlSafe(text).trimmed();
}

std::optional<QString> href(const xmlNode* n) {
  for (const xmlAttr* a = n->properties; a; a = a->next) {
    if (xmlStrcasecmp(a->name, BAD_CAST "href") != 0) continue;
    xmlChar* value = xmlNodeListGetString(n->doc, a->children, 1);
    QString text = QString::fromUtf8(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return xmlSafe(text).trimmed();
  }
  return std::nullopt;
}

// Walks the document in order, entering and leaving each element; a <DL>
// that follows a folder's <H3> holds that folder's entries, wherever the
// parser has put it.
class Importer {
 public:
  explicit Importer(HtmlImport& result) : r_(result) { levels_.push_back(&r_.entries); }

  void run(const xmlNode* root) {
    const xmlNode* n = root;
    while (n) {
      const bool descend = enter(n);
      if (descend && n->children) {
        n = n->children;
        continue;
      }
      if (descend) leave(n);  // an element with nothing inside ends at once
      while (n != root && !n->next) {
        n = n->parent;
        leave(n);
      }
      if (n == root) break;
      n = n->next;
    }
  }

 private:
  // Whether to walk into the element's children.
  bool enter(const xmlNode* n) {
    if (n->type != XML_ELEMENT_NODE) return false;
    if (isName(n, "h3")) {
      levels_.back()->push_back(BookmarkEntry::folder(nameText(n)));
      ++r_.folders;
      pendingFolder_ = true;
      return true;  // a folder left open holds what follows
    }
    if (isName(n, "a")) {
      pendingFolder_ = false;
      if (const auto address = href(n)) {
        levels_.back()->push_back(BookmarkEntry::link(nameText(n), *address));
        ++r_.links;
      } else {
        ++r_.linksWithoutAddress;
      }
      return true;
    }
    if (isName(n, "dl")) {
      if (pendingFolder_) {
        pendingFolder_ = false;
        // A folder at level L may hold entries while L + 1 is below the
        // writer's limit; the import itself sits in a top-level folder.
        if (static_cast<int>(levels_.size()) + 1 < kMaxFolderDepth) {
          levels_.push_back(&levels_.back()->back().entries);
          opened_.push_back(n);
        } else {
          ++r_.foldersTooDeep;
        }
      }
      return true;
    }
    return true;
  }

  void leave(const xmlNode* n) {
    if (!isName(n, "dl")) return;
    pendingFolder_ = false;
    if (!opened_.empty() && opened_.back() == n) {
      opened_.pop_back();
      levels_.pop_back();
    }
  }

  HtmlImport& r_;
  std::vector<BookmarkTree*> levels_;   // the innermost folder's entries last
  std::vector<const xmlNode*> opened_;  // the <DL>s that opened a level
  bool pendingFolder_ = false;
};

qsizetype findCaseless(QByteArrayView hay, QByteArrayView needle, qsizetype from) {
  for (qsizetype i = from; i + needle.size() <= hay.size(); ++i) {
    qsizetype k = 0;
    while (k < needle.size() && QChar::toLower(char16_t(uchar(hay[i + k]))) == char16_t(uchar(needle[k]))) ++k;
    if (k == needle.size()) return i;
  }
  return -1;
}

void appendEscaped(QByteArray& out, const QString& text) {
  // Whole text at once: characters beyond the BMP are pairs of QChars.
  out += text.toHtmlEscaped().toUtf8();
}

void exportLevel(QByteArray& out, const BookmarkTree& level, int depth) {
  const QByteArray indent(4 * depth, ' ');
  for (const BookmarkEntry& e : level) {
    out += indent + "<DT>";
    if (e.isFolder()) {
      out += "<H3>";
      appendEscaped(out, e.name);
      out += "</H3>\n" + indent + "<DL><p>\n";
      exportLevel(out, e.entries, depth + 1);
      out += indent + "</DL><p>\n";
    } else {
      out += "<A HREF=\"";
      appendEscaped(out, e.address);
      out += "\">";
      appendEscaped(out, e.name);
      out += "</A>\n";
    }
  }
}

}  // namespace

QString declaredCharset(QByteArrayView bytes) {
  if (bytes.startsWith("\xEF\xBB\xBF")) return QStringLiteral("UTF-8");
  if (bytes.startsWith("\xFF\xFE")) return QStringLiteral("UTF-16LE");
  if (bytes.startsWith("\xFE\xFF")) return QStringLiteral("UTF-16BE");
  const QByteArrayView head = bytes.first(std::min<qsizetype>(bytes.size(), 16384));
  for (qsizetype meta = findCaseless(head, "<meta", 0); meta >= 0; meta = findCaseless(head, "<meta", meta + 5)) {
    qsizetype end = head.indexOf('>', meta);
    if (end < 0) end = head.size();
    const QByteArrayView tag = head.sliced(meta, end - meta);
    const qsizetype at = findCaseless(tag, "charset", 0);
    if (at < 0) continue;
    qsizetype i = at + 7;
    while (i < tag.size() && (tag[i] == ' ' || tag[i] == '=' || tag[i] == '"' || tag[i] == '\'')) ++i;
    qsizetype j = i;
    while (j < tag.size() && (QChar::isLetterOrNumber(char16_t(uchar(tag[j]))) || tag[j] == '-' || tag[j] == '_' ||
                              tag[j] == '.' || tag[j] == ':'))
      ++j;
    if (j > i) return QString::fromLatin1(tag.sliced(i, j - i));
  }
  return {};
}

HtmlImport importBookmarkHtml(QByteArrayView bytes) {
  HtmlImport result;
  if (bytes.isEmpty() || bytes.size() > INT_MAX) return result;
  xmlInitParser();
  xmlSetGenericErrorFunc(nullptr, silent);

  QString encoding = declaredCharset(bytes);
  if (encoding.isEmpty()) encoding = QStringLiteral("UTF-8");
  const QByteArray name = encoding.toLatin1();
  if (xmlCharEncodingHandler* h = xmlFindCharEncodingHandler(name.constData())) {
    xmlCharEncCloseFunc(h);
  } else {
    result.unknownEncoding = true;
    encoding = QStringLiteral("UTF-8");
  }
  result.encoding = encoding;

  // Without the huge option the parser gives up at 256 open elements and
  // everything after that is lost; its work stays linear in the depth, and
  // the walk below needs no stack.
  const int options = HTML_PARSE_RECOVER | HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                      HTML_PARSE_IGNORE_ENC | HTML_PARSE_COMPACT | XML_PARSE_HUGE;
  std::unique_ptr<xmlDoc, DocFree> doc(htmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), "bookmarks.html",
                                                      encoding.toLatin1().constData(), options));
  if (!doc) return result;
  if (const xmlDtd* dtd = doc->intSubset)
    result.recognised = dtd->name && xmlStrcasecmp(dtd->name, BAD_CAST "NETSCAPE-Bookmark-file-1") == 0;
  if (const xmlNode* root = xmlDocGetRootElement(doc.get())) Importer(result).run(root);
  return result;
}

QByteArray exportBookmarkHtml(const BookmarkTree& tree) {
  QByteArray out =
      "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
      "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
      "<TITLE>Bookmarks</TITLE>\n"
      "<H1>Bookmarks</H1>\n"
      "<DL><p>\n";
  exportLevel(out, tree, 1);
  out += "</DL><p>\n";
  return out;
}

}  // namespace bookmarks
