#include "bookmarks/bookmark_html.h"

#include <iconv.h>
#include <libxml/HTMLparser.h>

#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <optional>
#include <vector>

#include "bookmarks/bookmark_file.h"
#include "platform/atomic_file.h"
#include "platform/errors.h"

namespace bookmarks {

namespace {

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

// A name as the page shows it: the line breaks and indentation of the
// file are no part of it.
QString cleanName(const QString& raw) {
  static const QRegularExpression breaks(QStringLiteral("[ ]*[\\t\\r\\n][\\t\\r\\n ]*"));
  return xmlSafe(QString(raw).replace(breaks, QStringLiteral(" "))).trimmed();
}

bool isAsciiAlpha(QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool isSpace(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f'; }

int digitValue(QChar c, int base) {
  const char16_t u = c.unicode();
  if (u >= u'0' && u <= u'9') return u - u'0';
  if (base == 16 && u >= u'a' && u <= u'f') return u - u'a' + 10;
  if (base == 16 && u >= u'A' && u <= u'F') return u - u'A' + 10;
  return -1;
}

// Character and entity references, as HTML has them; an unknown or
// unfinished one stays as it is written.
QString decodeRefs(QStringView text) {
  if (!text.contains(u'&')) return text.toString();
  QString out;
  out.reserve(text.size());
  qsizetype i = 0;
  while (i < text.size()) {
    const qsizetype amp = text.indexOf(u'&', i);
    if (amp < 0) {
      out += text.mid(i);
      break;
    }
    out += text.mid(i, amp - i);
    i = amp + 1;
    if (i < text.size() && text[i] == u'#') {
      const bool hex = i + 1 < text.size() && (text[i + 1] == u'x' || text[i + 1] == u'X');
      qsizetype j = i + (hex ? 2 : 1);
      char32_t value = 0;
      bool any = false;
      for (; j < text.size(); ++j) {
        const int d = digitValue(text[j], hex ? 16 : 10);
        if (d < 0) break;
        any = true;
        if (value <= 0x10FFFF) value = value * (hex ? 16 : 10) + char32_t(d);
      }
      if (!any) {
        out += u'&';
        continue;
      }
      if (j < text.size() && text[j] == u';') ++j;
      if (value > 0 && value <= 0x10FFFF) out += QString::fromUcs4(&value, 1);
      i = j;
      continue;
    }
    qsizetype j = i;
    while (j < text.size() && j - i < 32 && (isAsciiAlpha(text[j]) || (j > i && text[j].isDigit()))) ++j;
    const htmlEntityDesc* e = nullptr;
    if (j > i && j < text.size() && text[j] == u';')
      e = htmlEntityLookup(BAD_CAST text.mid(i, j - i).toLatin1().constData());
    if (!e) {
      out += u'&';
      continue;
    }
    const char32_t value = e->value;
    out += QString::fromUcs4(&value, 1);
    i = j + 1;
  }
  return out;
}

bool isStructure(QStringView name) {
  for (const char16_t* s : {u"dl", u"dt", u"dd", u"h3", u"a", u"hr"})
    if (name == QStringView(s)) return true;
  return false;
}

// Builds the tree from the file's tags in order: a <DL> that follows a
// folder's <H3> holds that folder's entries. Only the innermost open <DL>
// is ever looked at and no open element is searched for, so a file of
// tags, matched or not, costs one pass; folders are cut at the depth
// bookmark.xml can hold.
class Importer {
 public:
  explicit Importer(HtmlImport& result) : r_(result) { levels_.push_back(&r_.entries); }

  void start(QStringView name, const std::optional<QString>& href) {
    if (isStructure(name)) endName();
    if (name == u"h3") {
      levels_.back()->push_back(BookmarkEntry::folder(QString()));
      ++r_.folders;
      beginName();
      pendingFolder_ = true;  // a folder left open holds what follows
    } else if (name == u"a") {
      pendingFolder_ = false;
      if (href) {
        levels_.back()->push_back(BookmarkEntry::link(QString(), xmlSafe(*href).trimmed()));
        ++r_.links;
        beginName();
      } else {
        ++r_.linksWithoutAddress;
      }
    } else if (name == u"dl") {
      bool opened = false;
      if (pendingFolder_) {
        pendingFolder_ = false;
        // A folder at level L may hold entries while L + 1 is below the
        // writer's limit; the import itself sits in a top-level folder.
        if (static_cast<int>(levels_.size()) + 1 < kMaxFolderDepth) {
          levels_.push_back(&levels_.back()->back().entries);
          opened = true;
        } else {
          ++r_.foldersTooDeep;
        }
      }
      lists_.push_back(opened);
    }
  }

  void end(QStringView name) {
    if (name == u"a" || name == u"h3") endName();
    if (name != u"dl") return;
    endName();
    pendingFolder_ = false;
    if (lists_.empty()) return;
    if (lists_.back()) levels_.pop_back();
    lists_.pop_back();
  }

  void text(QStringView raw) {
    if (naming_) name_ += decodeRefs(raw);
  }

  void finish() { endName(); }

 private:
  void beginName() {
    naming_ = true;
    name_.clear();
  }
  void endName() {
    if (!naming_) return;
    naming_ = false;
    levels_.back()->back().name = cleanName(name_);
  }

  HtmlImport& r_;
  std::vector<BookmarkTree*> levels_;  // the innermost folder's entries last
  std::vector<bool> lists_;            // each open <DL>: whether it opened a level
  bool pendingFolder_ = false;
  bool naming_ = false;  // the last entry's name is being read
  QString name_;
};

// Elements whose content is no markup: skipped to their end tag.
bool isRawText(QStringView name) {
  for (const char16_t* s : {u"script", u"style", u"title", u"textarea", u"xmp", u"iframe", u"noembed", u"noframes"})
    if (name == QStringView(s)) return true;
  return false;
}

// Reads the tags and text of the whole file in one pass.
void readMarkup(const QString& s, Importer& in, HtmlImport& r) {
  const qsizetype n = s.size();
  qsizetype i = 0;
  qsizetype textFrom = 0;
  auto flushText = [&](qsizetype to) {
    if (to > textFrom) in.text(QStringView(s).mid(textFrom, to - textFrom));
  };
  while (i < n) {
    const qsizetype lt = s.indexOf(u'<', i);
    if (lt < 0 || lt + 1 >= n) break;
    const QChar next = s[lt + 1];
    if (next == u'!' || next == u'?') {
      flushText(lt);
      qsizetype end;
      if (QStringView(s).mid(lt, 4) == u"<!--") {
        end = s.indexOf(QStringLiteral("-->"), lt + 4);
        end = end < 0 ? n : end + 3;
      } else {
        end = s.indexOf(u'>', lt);
        end = end < 0 ? n : end + 1;
        const QStringView tag = QStringView(s).mid(lt, end - lt);
        if (tag.startsWith(u"<!doctype", Qt::CaseInsensitive)) {
          qsizetype k = 9;
          while (k < tag.size() && isSpace(tag[k])) ++k;
          qsizetype e = k;
          while (e < tag.size() && !isSpace(tag[e]) && tag[e] != u'>') ++e;
          if (tag.mid(k, e - k).compare(u"NETSCAPE-Bookmark-file-1", Qt::CaseInsensitive) == 0) r.recognised = true;
        }
      }
      i = textFrom = end;
      continue;
    }
    const bool closing = next == u'/';
    qsizetype j = lt + (closing ? 2 : 1);
    if (j >= n || !isAsciiAlpha(s[j])) {
      i = lt + 1;  // a "<" that starts no tag is text
      continue;
    }
    flushText(lt);
    const qsizetype nameFrom = j;
    while (j < n && !isSpace(s[j]) && s[j] != u'>' && s[j] != u'/') ++j;
    const QString name = s.mid(nameFrom, j - nameFrom).toLower();
    // Attributes, to the tag's end; only HREF is kept.
    std::optional<QString> href;
    while (j < n && s[j] != u'>') {
      if (isSpace(s[j]) || s[j] == u'/') {
        ++j;
        continue;
      }
      const qsizetype attrFrom = j;
      while (j < n && !isSpace(s[j]) && s[j] != u'>' && s[j] != u'=' && s[j] != u'/') ++j;
      const QStringView attr = QStringView(s).mid(attrFrom, j - attrFrom);
      while (j < n && isSpace(s[j])) ++j;
      if (j >= n || s[j] != u'=') continue;
      ++j;
      while (j < n && isSpace(s[j])) ++j;
      qsizetype valueFrom = j, valueTo;
      if (j < n && (s[j] == u'"' || s[j] == u'\'')) {
        const qsizetype close = s.indexOf(s[j], j + 1);
        valueFrom = j + 1;
        valueTo = close < 0 ? n : close;
        j = close < 0 ? n : close + 1;
      } else {
        while (j < n && !isSpace(s[j]) && s[j] != u'>') ++j;
        valueTo = j;
      }
      if (!href && attr.compare(u"href", Qt::CaseInsensitive) == 0)
        href = decodeRefs(QStringView(s).mid(valueFrom, valueTo - valueFrom));
    }
    if (j >= n) break;  // a tag cut off at the end of the file is no tag
    i = textFrom = j + 1;
    if (closing) {
      in.end(name);
    } else {
      in.start(name, href);
      if (isRawText(name)) {
        const qsizetype end = s.indexOf(QStringLiteral("</") + name, i, Qt::CaseInsensitive);
        i = textFrom = end < 0 ? n : end;
      }
    }
  }
  flushText(n);
  in.finish();
}

// The file's bytes as text, in `encoding` (known to iconv). Bytes that are
// not of the encoding become U+FFFD; a byte order mark is no text.
QString decodeBytes(QByteArrayView bytes, const QByteArray& encoding) {
  QString text;
  if (encoding.compare("UTF-8", Qt::CaseInsensitive) == 0) {
    text = QString::fromUtf8(bytes);
  } else {
    iconv_t cd = ::iconv_open("UTF-8", encoding.constData());
    if (cd == reinterpret_cast<iconv_t>(-1)) return QString::fromUtf8(bytes);
    QByteArray out;
    out.reserve(bytes.size() * 2);
    char buf[16384];
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = size_t(bytes.size());
    while (inLeft > 0) {
      char* o = buf;
      size_t oLeft = sizeof buf;
      const size_t rc = ::iconv(cd, &in, &inLeft, &o, &oLeft);
      out.append(buf, o - buf);
      if (rc != size_t(-1) || errno == E2BIG) continue;
      if (errno == EINVAL) break;  // cut off at the end
      out += "\xEF\xBF\xBD";
      ++in;
      --inLeft;
      ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    ::iconv_close(cd);
    text = QString::fromUtf8(out);
  }
  if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
  return text;
}

bool knownEncoding(const QByteArray& name) {
  iconv_t cd = ::iconv_open("UTF-8", name.constData());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  ::iconv_close(cd);
  return true;
}

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
  if (bytes.isEmpty()) return result;
  QString encoding = declaredCharset(bytes);
  if (encoding.isEmpty()) encoding = QStringLiteral("UTF-8");
  if (!knownEncoding(encoding.toLatin1())) {
    result.unknownEncoding = true;
    encoding = QStringLiteral("UTF-8");
  }
  result.encoding = encoding;
  Importer importer(result);
  readMarkup(decodeBytes(bytes, encoding.toLatin1()), importer, result);
  return result;
}

HtmlImport readBookmarkHtmlFile(const QString& path) {
  // Far above any bookmark file; a mistaken choice is not read into memory.
  constexpr qint64 kMaxImportBytes = 64 << 20;
  QByteArray bytes;
  switch (readRegularFile(path, &bytes, kMaxImportBytes)) {
    case FileRead::Ok:
      return importBookmarkHtml(bytes);
    case FileRead::TooLarge:
      throw ZelvoError(QStringLiteral("%1 は大きすぎるため読み込めません").arg(QFileInfo(path).fileName()));
    case FileRead::NotRegular:
      throw EInOutError(QStringLiteral("%1 は通常のファイルではないため読み込めません").arg(path));
    case FileRead::Missing:
    case FileRead::Unreadable:
      break;
  }
  throw EInOutError(QStringLiteral("%1 を読み込めません").arg(path));
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
