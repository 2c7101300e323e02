#include "bookmarks/bookmark_file.h"

#include <iconv.h>
#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <array>
#include <climits>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/errors.h"

namespace bookmarks {

QStringList urlListPreOrder(const BookmarkTree& tree) {
  QStringList out;
  out.reserve(nodeCount(tree));
  // Explicit stack: pre-order without recursion.
  std::vector<std::pair<const BookmarkTree*, size_t>> stack{{&tree, 0}};
  while (!stack.empty()) {
    auto& [level, i] = stack.back();
    if (i == level->size()) {
      stack.pop_back();
      continue;
    }
    const BookmarkEntry& e = (*level)[i++];
    out << (e.isFolder() ? kFolderMarker : e.address);
    if (e.isFolder() && !e.entries.empty()) stack.push_back({&e.entries, 0});
  }
  return out;
}

qsizetype nodeCount(const BookmarkTree& tree) {
  qsizetype n = 0;
  for (const BookmarkEntry& e : tree) n += 1 + nodeCount(e.entries);
  return n;
}

QString menuCaption(const QString& name) {
  QString caption = name;
  caption.replace(u'&', QStringLiteral("&&"));
  return u'&' + caption;
}

namespace {

// ---- Shift_JIS ------------------------------------------------------------
//
// "Shift_JIS" in these files means the Windows code page 932. The tables are
// built from iconv's CP932 once. Encoding only uses mappings that decode back
// to the same character: iconv's best-fit forms (U+2016 to 0x8161, U+00A5 to
// 0x5C, ...) would silently change what the user typed, so such characters
// go out as character references instead.

struct Cp932Tables {
  std::array<char16_t, 256> single{};  // 0xFFFF: lead byte or invalid
  std::array<bool, 256> lead{};
  std::vector<char16_t> pair = std::vector<char16_t>(65536, 0);  // (lead << 8 | trail) -> char, 0 invalid
  std::vector<quint16> encode = std::vector<quint16>(65536, 0);  // char -> code, 0 none
};

char16_t decodeOne(iconv_t cd, const char* bytes, size_t n) {
  char16_t out[4];
  char* src = const_cast<char*>(bytes);
  size_t srcLeft = n;
  char* dst = reinterpret_cast<char*>(out);
  size_t dstLeft = sizeof out;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1) || srcLeft != 0) return 0;
  if (sizeof out - dstLeft != sizeof(char16_t)) return 0;
  return out[0];
}

const Cp932Tables& cp932() {
  static const Cp932Tables tables = [] {
    Cp932Tables t;
    iconv_t cd = iconv_open("UTF-16LE", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return t;
    for (int b = 0; b < 256; ++b) {
      t.lead[b] = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
      t.single[b] = 0xFFFF;
      if (b < 0x80) {
        t.single[b] = char16_t(b);
      } else if (!t.lead[b]) {
        const char c = char(b);
        if (char16_t u = decodeOne(cd, &c, 1)) t.single[b] = u;
      }
    }
    for (int l = 0x81; l <= 0xFC; ++l) {
      if (!t.lead[l]) continue;
      for (int r = 0x40; r <= 0xFC; ++r) {
        const char two[2] = {char(l), char(r)};
        t.pair[(l << 8) | r] = decodeOne(cd, two, 2);
      }
    }
    iconv_close(cd);
    // Encoding: for every character some code decodes to, the code iconv
    // would choose when that one decodes back to it, else the first code.
    iconv_t enc = iconv_open("CP932", "UTF-16LE");
    auto consider = [&](char16_t u, quint16 code) {
      if (u == 0 || u == 0xFFFF || t.encode[u] != 0) return;
      quint16 chosen = code;
      if (enc != reinterpret_cast<iconv_t>(-1)) {
        char out[4];
        char* src = reinterpret_cast<char*>(&u);
        size_t srcLeft = sizeof u;
        char* dst = out;
        size_t dstLeft = sizeof out;
        iconv(enc, nullptr, nullptr, nullptr, nullptr);
        if (iconv(enc, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1)) {
          const size_t n = sizeof out - dstLeft;
          const quint16 c = n == 1 ? quint8(out[0]) : n == 2 ? quint16((quint8(out[0]) << 8) | quint8(out[1])) : 0;
          const char16_t back = c == 0 ? 0 : c < 0x100 ? t.single[c] : t.pair[c];
          if (back == u) chosen = c;
        }
      }
      t.encode[u] = chosen;
    };
    for (int b = 0x80; b < 256; ++b)
      if (!t.lead[b]) consider(t.single[b], quint16(b));
    for (int code = 0x8100; code < 0x10000; ++code) consider(t.pair[code], quint16(code));
    if (enc != reinterpret_cast<iconv_t>(-1)) iconv_close(enc);
    return t;
  }();
  return tables;
}

// Set when the reader met bytes that are no Shift_JIS.
thread_local bool tInvalidInput = false;

int putUtf8(unsigned char* out, char16_t u) {
  if (u < 0x80) {
    out[0] = static_cast<unsigned char>(u);
    return 1;
  }
  if (u < 0x800) {
    out[0] = static_cast<unsigned char>(0xC0 | (u >> 6));
    out[1] = static_cast<unsigned char>(0x80 | (u & 0x3F));
    return 2;
  }
  out[0] = static_cast<unsigned char>(0xE0 | (u >> 12));
  out[1] = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
  out[2] = static_cast<unsigned char>(0x80 | (u & 0x3F));
  return 3;
}

// Shift_JIS to UTF-8. A byte that starts no valid character becomes U+FFFD
// and reading goes on, so one bad byte does not cost the rest of the file.
int sjisInput(unsigned char* out, int* outlen, const unsigned char* in, int* inlen) {
  const Cp932Tables& t = cp932();
  int i = 0, o = 0;
  const int n = *inlen, cap = *outlen;
  while (i < n && cap - o >= 3) {
    const unsigned char b = in[i];
    if (b < 0x80) {
      out[o++] = b;
      ++i;
      continue;
    }
    char16_t u = 0xFFFD;
    int used = 1;
    if (t.lead[b]) {
      if (i + 1 >= n) break;  // the trail byte comes with the next chunk
      if (char16_t v = t.pair[(b << 8) | in[i + 1]]) {
        u = v;
        used = 2;
      }
    } else if (t.single[b] != 0xFFFF) {
      u = t.single[b];
    }
    if (u == 0xFFFD) tInvalidInput = true;
    o += putUtf8(out + o, u);
    i += used;
  }
  *inlen = i;
  *outlen = o;
  return o;
}

// UTF-8 to Shift_JIS. A character without an exact Shift_JIS form stops the
// conversion with -2 (consumed input ends before it), on which the
// serializer writes it as a numeric character reference.
int sjisOutput(unsigned char* out, int* outlen, const unsigned char* in, int* inlen) {
  if (in == nullptr) {
    *outlen = 0;
    *inlen = 0;
    return 0;
  }
  const Cp932Tables& t = cp932();
  int i = 0, o = 0, ret = 0;
  const int n = *inlen, cap = *outlen;
  while (i < n) {
    const unsigned char b = in[i];
    char32_t cp;
    int len;
    if (b < 0x80) {
      cp = b;
      len = 1;
    } else if ((b & 0xE0) == 0xC0) {
      cp = b & 0x1F;
      len = 2;
    } else if ((b & 0xF0) == 0xE0) {
      cp = b & 0x0F;
      len = 3;
    } else {
      cp = b & 0x07;
      len = 4;
    }
    if (i + len > n) break;  // rest of the character in the next chunk
    for (int k = 1; k < len; ++k) cp = (cp << 6) | (in[i + k] & 0x3F);
    const quint16 code = cp < 0x80 ? quint16(cp) : cp <= 0xFFFF ? t.encode[cp] : 0;
    if (code == 0 && cp != 0) {
      ret = -2;
      break;
    }
    const int need = code < 0x100 ? 1 : 2;
    if (cap - o < need) {
      ret = -1;
      break;
    }
    if (need == 2) out[o++] = static_cast<unsigned char>(code >> 8);
    out[o++] = static_cast<unsigned char>(code & 0xFF);
    i += len;
  }
  *inlen = i;
  *outlen = o;
  return ret == 0 ? o : ret;
}

void silentError(void*, const char*, ...) {}

xmlParserInputPtr noExternalLoading(const char*, const char*, xmlParserCtxtPtr) { return nullptr; }

void initLibxml() {
  static std::once_flag once;
  std::call_once(once, [] {
    xmlInitParser();
    cp932();
    // Registered handlers win over iconv for this name (any case).
    xmlNewCharEncodingHandler("Shift_JIS", sjisInput, sjisOutput);
    for (const char* alias : {"SJIS", "Shift-JIS", "MS_Kanji", "x-sjis", "csShiftJIS"})
      xmlAddEncodingAlias("SHIFT_JIS", alias);
    // The bookmark file never needs anything from outside itself.
    xmlSetExternalEntityLoader(noExternalLoading);
  });
  xmlSetGenericErrorFunc(nullptr, silentError);
}

struct DocFree {
  void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

// ---- reading ----------------------------------------------------------------

bool isXmlSpace(xmlChar c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The children the entry rules count: elements and character data, but not
// text that is only white space (the indentation), comments or processing
// instructions. Text inside a name is never dropped: it is read whole below.
bool counts(const xmlNode* n) {
  switch (n->type) {
    case XML_ELEMENT_NODE:
    case XML_CDATA_SECTION_NODE:
      return true;
    case XML_TEXT_NODE:
      for (const xmlChar* p = n->content; p && *p; ++p)
        if (!isXmlSpace(*p)) return true;
      return false;
    default:
      return false;
  }
}

// Characters an XML 1.0 document can hold. Returns the length of the one
// at `i` (2 for a surrogate pair), or 0 when it cannot be held.
int xmlCharAt(const QString& text, qsizetype i) {
  const char16_t c = text[i].unicode();
  if (QChar::isHighSurrogate(c)) return i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 0;
  const bool ok = (c >= 0x20 && c <= 0xD7FF) || c == 0x9 || c == 0xA || c == 0xD || (c >= 0xE000 && c <= 0xFFFD);
  return ok ? 1 : 0;
}

// All character data inside the node, joined. Entity references are not
// followed: no entity is ever expanded.
QString textOf(const xmlNode* node) {
  if (node->type != XML_ELEMENT_NODE) return QString::fromUtf8(reinterpret_cast<const char*>(node->content));
  QByteArray text;
  const xmlNode* n = node->children;
  while (n) {
    if (n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) {
      if (n->content) text += reinterpret_cast<const char*>(n->content);
    } else if (n->type == XML_ELEMENT_NODE && n->children) {
      n = n->children;
      continue;
    }
    while (n && !n->next && n != node) n = n->parent;
    if (!n || n == node) break;
    n = n->next;
  }
  return QString::fromUtf8(text);
}

bool named(const xmlNode* n, const char* name) {
  // The node name, prefix included, compared exactly.
  return n->type == XML_ELEMENT_NODE && (n->ns == nullptr || n->ns->prefix == nullptr) &&
         xmlStrcmp(n->name, BAD_CAST name) == 0;
}

bool isDirectory(const xmlNode* n) { return named(n, "directory"); }

// An element holding nothing but its text: what a name or address is.
bool plainText(const xmlNode* n) {
  if (n->type != XML_ELEMENT_NODE) return n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE;
  if (n->properties) return false;
  for (const xmlNode* c = n->children; c; c = c->next)
    if (c->type != XML_TEXT_NODE && c->type != XML_CDATA_SECTION_NODE) return false;
  return true;
}

struct Reader {
  TopLevelAddress rule;
  bool tooDeep = false;
  bool foreign = false;
  bool replaced = false;

  // A name or address that a save can write again.
  QString text(const xmlNode* n) {
    QString t = textOf(n);
    for (qsizetype i = 0; i < t.size();) {
      const int len = xmlCharAt(t, i);
      if (len > 0) {
        i += len;
        continue;
      }
      t[i++] = QChar(0xFFFD);
      replaced = true;
    }
    return t;
  }

  // The children the entry rules count; anything else a save would drop
  // (comments, processing instructions, attributes) is noted.
  std::vector<const xmlNode*> kids(const xmlNode* el) {
    if (el->properties) foreign = true;
    std::vector<const xmlNode*> out;
    for (const xmlNode* c = el->children; c; c = c->next) {
      if (counts(c))
        out.push_back(c);
      else if (c->type != XML_TEXT_NODE)
        foreign = true;
    }
    return out;
  }

  // A link's address: its `url` element when it has one, so that another
  // element beside it never takes the address's place; else the entry rule.
  const xmlNode* addressOf(const std::vector<const xmlNode*>& k, int level) const {
    for (size_t j = 1; j < k.size(); ++j)
      if (named(k[j], "url")) return k[j];
    if (level == 0 && rule == TopLevelAddress::NodeAfterName) return k.size() > 1 ? k[1] : nullptr;
    return k.empty() ? nullptr : k.back();
  }

  BookmarkEntry entry(const xmlNode* el, int level) {
    const std::vector<const xmlNode*> k = kids(el);
    BookmarkEntry e;
    if (!k.empty()) {
      e.name = text(k.front());
      if (!plainText(k.front())) foreign = true;
    }
    if (isDirectory(el)) {
      e.kind = BookmarkEntry::Kind::Folder;
      if (level + 1 >= kMaxFolderDepth) {
        tooDeep = tooDeep || k.size() > 1;
        return e;
      }
      for (size_t j = 1; j < k.size(); ++j) {
        if (k[j]->type == XML_ELEMENT_NODE)
          e.entries.push_back(entry(k[j], level + 1));
        else
          foreign = true;  // text between entries
      }
    } else {
      if (k.size() > 2) foreign = true;
      if (const xmlNode* a = addressOf(k, level)) {
        e.address = text(a);
        if (!plainText(a)) foreign = true;
      }
    }
    return e;
  }

  BookmarkTree document(const xmlDoc* doc) {
    BookmarkTree tree;
    const xmlNode* root = xmlDocGetRootElement(doc);
    if (!root) return tree;
    for (const xmlNode* c = doc->children; c; c = c->next)
      if (c != root && c->type != XML_DTD_NODE) foreign = true;
    for (const xmlNode* c : kids(root)) {
      if (c->type == XML_ELEMENT_NODE)
        tree.push_back(entry(c, 0));
      else
        foreign = true;
    }
    return tree;
  }
};

DocPtr parse(QByteArrayView bytes, const char* encoding, int extra) {
  tInvalidInput = false;
  const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | extra;
  return DocPtr(xmlReadMemory(bytes.data(), int(bytes.size()), "bookmark.xml", encoding, options));
}

bool onlyWhiteSpace(QByteArrayView bytes) {
  for (char c : bytes)
    if (!isXmlSpace(xmlChar(c))) return false;
  return true;
}

// ---- writing ----------------------------------------------------------------

void checkText(const QString& text, const QString& name) {
  for (qsizetype i = 0; i < text.size();) {
    const int len = xmlCharAt(text, i);
    if (len == 0)
      throw ZelvoError(QStringLiteral("「%1」には保存できない文字 (U+%2) が含まれています")
                           .arg(name, QString::number(text[i].unicode(), 16).toUpper().rightJustified(4, u'0')));
    i += len;
  }
}

void checkTree(const BookmarkTree& tree, int level) {
  for (const BookmarkEntry& e : tree) {
    checkText(e.name, e.name);
    if (e.isFolder()) {
      if (!e.entries.empty() && level + 1 >= kMaxFolderDepth)
        throw ZelvoError(
            QStringLiteral("フォルダの階層が深すぎるため保存できません（%1 階層まで）").arg(kMaxFolderDepth));
      checkTree(e.entries, level + 1);
    } else {
      checkText(e.address, e.name);
    }
  }
}

struct Writer {
  xmlDoc* doc;

  void space(xmlNode* parent, int units) {
    const QByteArray s = '\n' + QByteArray(2 * units, ' ');
    xmlAddChild(parent, xmlNewDocTextLen(doc, BAD_CAST s.constData(), int(s.size())));
  }

  xmlNode* element(xmlNode* parent, const char* name) {
    return xmlAddChild(parent, xmlNewDocNode(doc, nullptr, BAD_CAST name, nullptr));
  }

  void textElement(xmlNode* parent, const char* name, const QString& text) {
    xmlNode* el = element(parent, name);
    const QByteArray utf8 = text.toUtf8();
    if (!utf8.isEmpty()) xmlAddChild(el, xmlNewDocTextLen(doc, BAD_CAST utf8.constData(), int(utf8.size())));
  }

  // Depth: 1 at the top level, the level plus 2 below it.
  void entries(xmlNode* parent, const BookmarkTree& tree, int level) {
    const int d = level == 0 ? 1 : level + 2;
    for (const BookmarkEntry& e : tree) {
      if (e.isFolder()) {
        space(parent, d == 1 ? 1 : d - 1);
        xmlNode* dir = element(parent, "directory");
        space(dir, d + 1);
        textElement(dir, "name", e.name);
        entries(dir, e.entries, level + 1);
      } else {
        space(parent, d);
        xmlNode* file = element(parent, "file");
        space(file, d + 1);
        textElement(file, "name", e.name);
        space(file, d + 1);
        textElement(file, "url", e.address);
        space(file, d);
      }
    }
  }
};

QString cannotWrite(const QString& path) { return QStringLiteral("%1 に書き込めません").arg(path); }

// A backup that cannot be kept fails the save of `path` it was kept for.
void writeBackup(const QString& backup, const QByteArray& bytes, const QString& path) {
  if (!atomicReplaceFile(backup, bytes)) throw EInOutError(cannotWrite(path));
}

// Where a file read only in part is kept: "<path>.orig", or the first
// ".orig.N" that is free or already holds these very bytes. No save
// replaces it, so what was not read can always be found again.
QString originalCopyName(const QString& path, const QByteArray& bytes) {
  QString name = path + QStringLiteral(".orig");
  for (int n = 2;; ++n) {
    QByteArray there;
    const FileRead r = readRegularFile(name, &there);
    if (r == FileRead::Missing || (r == FileRead::Ok && there == bytes)) return name;
    name = path + QStringLiteral(".orig.%1").arg(n);
  }
}

// The same file as older saves spelled it, beside `path`.
QString legacyName(const QString& path) {
  const qsizetype slash = path.lastIndexOf(u'/');
  if (path.mid(slash + 1) != kFileName) return QString();
  return path.left(slash + 1) + QStringLiteral("BookMark.xml");
}

// The bytes of the bookmark file, from `path` or, when it is missing, its
// legacy spelling (`from` tells which was read).
FileRead readCurrent(const QString& path, QByteArray* bytes, QString* from) {
  *from = path;
  FileRead r = readRegularFile(path, bytes);
  const QString legacy = legacyName(path);
  if (r == FileRead::Missing && !legacy.isEmpty()) {
    r = readRegularFile(legacy, bytes);
    if (r != FileRead::Missing) *from = legacy;
  }
  return r;
}

std::function<void(const QString&)>& readReporter() {
  static std::function<void(const QString&)> r;
  return r;
}

// Reports a file read only in part, once per content.
void reportPartialRead(const QString& shown, const QString& keptFor, const QByteArray& bytes, const ReadResult& r) {
  static QSet<QByteArray> reported;
  const QByteArray key = QFile::encodeName(QFileInfo(finalTarget(shown)).absoluteFilePath()) + '\0' +
                         QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
  if (!readReporter() || reported.contains(key)) return;
  reported.insert(key);
  QStringList why;
  if (r.damaged && !r.foreign && !r.replaced)
    why << QStringLiteral("%1 は壊れているため、一部だけを読み込みました").arg(shown);
  if (r.foreign) why << QStringLiteral("%1 にはブックマークとして読み込めない内容があります").arg(shown);
  if (r.replaced) why << QStringLiteral("%1 の保存できない文字を U+FFFD に置き換えました").arg(shown);
  why << QStringLiteral("元のファイルは、次の保存の前に %1 として残します").arg(originalCopyName(keptFor, bytes));
  readReporter()(why.join(QStringLiteral("。")));
}

}  // namespace

ReadResult parseBookmarks(QByteArrayView bytes, TopLevelAddress rule) {
  ReadResult result;
  if (bytes.size() > INT_MAX) {
    result.damaged = true;
    return result;
  }
  initLibxml();
  Reader reader{rule};
  DocPtr doc = parse(bytes, nullptr, 0);
  bool damaged = false;
  if (doc && xmlDocGetRootElement(doc.get())) {
    damaged = tInvalidInput || doc->intSubset || doc->extSubset;
  } else {
    // Not well-formed as declared: perhaps Shift_JIS without a declaration,
    // else whatever the parser can recover.
    damaged = !onlyWhiteSpace(bytes);
    doc = parse(bytes, "Shift_JIS", 0);
    if (!doc) doc = parse(bytes, nullptr, XML_PARSE_RECOVER);
  }
  if (doc) result.entries = reader.document(doc.get());
  result.foreign = reader.foreign;
  result.replaced = reader.replaced;
  result.damaged = damaged || reader.tooDeep || reader.foreign || reader.replaced;
  return result;
}

BookmarkTree readBookmarkFile(const QString& path, TopLevelAddress rule, FileVersion* version) {
  QByteArray bytes;
  QString from;
  const FileRead r = readCurrent(path, &bytes, &from);
  if (version) *version = r == FileRead::Ok ? FileVersion(bytes) : std::nullopt;
  if (r != FileRead::Ok) return {};
  ReadResult result = parseBookmarks(bytes, rule);
  if (result.damaged) reportPartialRead(from, path, bytes, result);
  return std::move(result.entries);
}

void setReadReporter(std::function<void(const QString&)> reporter) { readReporter() = std::move(reporter); }

QByteArray serializeBookmarks(const BookmarkTree& tree) {
  checkTree(tree, 0);
  initLibxml();
  DocPtr doc(xmlNewDoc(BAD_CAST "1.0"));
  if (!doc) throw ZelvoError(QStringLiteral("ブックマークの文書を作成できません"));
  xmlNode* root = xmlNewDocNode(doc.get(), nullptr, BAD_CAST "bookmark", nullptr);
  xmlDocSetRootElement(doc.get(), root);
  Writer w{doc.get()};
  w.entries(root, tree, 0);
  xmlAddChild(root, xmlNewDocText(doc.get(), BAD_CAST "\n"));

  std::unique_ptr<xmlBuffer, void (*)(xmlBuffer*)> buf(xmlBufferCreate(), xmlBufferFree);
  xmlSaveCtxt* ctxt = buf ? xmlSaveToBuffer(buf.get(), "Shift_JIS", XML_SAVE_NO_EMPTY) : nullptr;
  if (!ctxt) throw ZelvoError(QStringLiteral("ブックマークの文書を作成できません"));
  const long saved = xmlSaveDoc(ctxt, doc.get());
  if (xmlSaveClose(ctxt) < 0 || saved < 0) throw ZelvoError(QStringLiteral("ブックマークの文書を作成できません"));
  return QByteArray(reinterpret_cast<const char*>(xmlBufferContent(buf.get())), xmlBufferLength(buf.get()));
}

QByteArray saveBookmarkFile(const QString& path, const BookmarkTree& tree, const FileVersion* expected) {
  const QByteArray bytes = serializeBookmarks(tree);
  const QString backup = path + QStringLiteral(".bak");
  // Another running copy saves under the same lock: what is checked here is
  // what gets replaced.
  const FileLock lock(path);
  QByteArray oldBytes;
  QString from;
  const FileRead r = readCurrent(path, &oldBytes, &from);
  // What cannot be read cannot be backed up: never replace it blind; and
  // anything but a regular file is no bookmark file to replace.
  if (r == FileRead::Unreadable) throw EInOutError(QStringLiteral("%1 を読み込めません").arg(from));
  if (r == FileRead::NotRegular) throw EInOutError(cannotWrite(from));
  const FileVersion current = r == FileRead::Ok ? FileVersion(oldBytes) : std::nullopt;

  // A file removed meanwhile holds nothing to lose; one changed does.
  if (expected && current && *expected != current) {
    writeBackup(backup, oldBytes, path);
    throw EBookmarksChanged(QStringLiteral("%1 は読み込んだ後に変更されていたため、上書きしませんでした。"
                                           "その内容を %2 にも残し、編集画面に読み込み直しました。"
                                           "編集をやり直してください")
                                .arg(from, backup));
  }
  // Backups are made only for a save that can happen.
  if (!mayReplaceFile(path)) throw EInOutError(cannotWrite(path));
  if (current) {
    if (parseBookmarks(oldBytes, TopLevelAddress::LastChild).damaged) {
      const QString original = originalCopyName(path, oldBytes);
      if (!QFileInfo::exists(original)) writeBackup(original, oldBytes, path);
    }
    writeBackup(backup, oldBytes, path);
  }
  if (!atomicReplaceFile(path, bytes)) throw EInOutError(cannotWrite(path));
  // The old spelling's content is the backup now; one name stays.
  if (from != path) QFile::remove(from);
  return bytes;
}

void recoverInterruptedSave(const QString& path) {
  for (const QString& name : {path, path + QStringLiteral(".bak"), path + QStringLiteral(".orig")})
    recoverInterruptedReplace(name);
}

}  // namespace bookmarks
