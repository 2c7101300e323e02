#include "bookmarks/bookmark_file.h"

#include <iconv.h>
#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>

#include <QFile>
#include <QFileInfo>
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

bool isDirectory(const xmlNode* n) {
  // The node name, prefix included, compared exactly.
  return (n->ns == nullptr || n->ns->prefix == nullptr) && xmlStrcmp(n->name, BAD_CAST "directory") == 0;
}

struct Reader {
  TopLevelAddress rule;
  bool tooDeep = false;

  BookmarkEntry entry(const xmlNode* el, int level) {
    std::vector<const xmlNode*> kids;
    for (const xmlNode* c = el->children; c; c = c->next)
      if (counts(c)) kids.push_back(c);
    BookmarkEntry e;
    if (!kids.empty()) e.name = textOf(kids.front());
    if (isDirectory(el)) {
      e.kind = BookmarkEntry::Kind::Folder;
      if (level + 1 >= kMaxFolderDepth) {
        tooDeep = tooDeep || kids.size() > 1;
        return e;
      }
      for (size_t j = 1; j < kids.size(); ++j)
        if (kids[j]->type == XML_ELEMENT_NODE) e.entries.push_back(entry(kids[j], level + 1));
    } else if (level == 0 && rule == TopLevelAddress::NodeAfterName) {
      if (kids.size() > 1) e.address = textOf(kids[1]);
    } else if (!kids.empty()) {
      e.address = textOf(kids.back());
    }
    return e;
  }

  BookmarkTree document(const xmlDoc* doc) {
    BookmarkTree tree;
    const xmlNode* root = xmlDocGetRootElement(doc);
    if (!root) return tree;
    for (const xmlNode* c = root->children; c; c = c->next)
      if (c->type == XML_ELEMENT_NODE) tree.push_back(entry(c, 0));
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
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    bool ok;
    if (QChar::isHighSurrogate(c)) {
      ok = i + 1 < text.size() && text[i + 1].isLowSurrogate();
      ++i;
    } else {
      ok = (c >= 0x20 && c <= 0xD7FF) || c == 0x9 || c == 0xA || c == 0xD || (c >= 0xE000 && c <= 0xFFFD);
    }
    if (!ok)
      throw ZelvoError(QStringLiteral("「%1」には保存できない文字 (U+%2) が含まれています")
                           .arg(name, QString::number(c, 16).toUpper().rightJustified(4, u'0')));
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

// Keeps `bytes` (the file about to be replaced) beside it, without ever
// overwriting an older backup that differs.
void keepBackup(const QString& path, const QByteArray& bytes) {
  QString backup = path + QStringLiteral(".bak");
  for (int n = 2; QFileInfo::exists(backup); ++n) {
    QFile f(backup);
    if (f.open(QIODevice::ReadOnly) && f.readAll() == bytes) return;
    backup = path + QStringLiteral(".bak.%1").arg(n);
  }
  if (!atomicReplaceFile(backup, bytes)) throw EInOutError(QStringLiteral("%1 に書き込めません").arg(backup));
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
  result.damaged = damaged || reader.tooDeep;
  return result;
}

BookmarkTree readBookmarkFile(const QString& path, TopLevelAddress rule) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return parseBookmarks(f.readAll(), rule).entries;
}

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

void saveBookmarkFile(const QString& path, const BookmarkTree& tree) {
  const QByteArray bytes = serializeBookmarks(tree);
  if (QFileInfo::exists(path)) {
    // What cannot be read cannot be backed up: never replace it blind.
    QFile old(path);
    if (!old.open(QIODevice::ReadOnly)) throw EInOutError(QStringLiteral("%1 を読み込めません").arg(path));
    const QByteArray oldBytes = old.readAll();
    old.close();
    if (parseBookmarks(oldBytes, TopLevelAddress::LastChild).damaged) keepBackup(path, oldBytes);
  }
  QString why;
  if (!atomicReplaceFile(path, bytes, &why)) throw EInOutError(QStringLiteral("%1 に書き込めません").arg(path));
}

}  // namespace bookmarks
