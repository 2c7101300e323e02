#include "platform/ini_file.h"

#include <limits>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/errors.h"
#include "platform/text_codec.h"

namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

QStringView trimmed(QStringView s) {
  qsizetype b = 0, e = s.size();
  while (b < e && isBlank(s[b])) ++b;
  while (e > b && isBlank(s[e - 1])) --e;
  return s.sliced(b, e - b);
}

bool sameName(QStringView a, QStringView b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// A line of the file as byte offsets: [begin, end) is its text, the line
// ending (LF, CR LF or a bare CR) follows it.
struct Line {
  qsizetype begin;
  qsizetype end;
  qsizetype eolEnd;
};

// The file's bytes, split into lines, with the encoding they were read in.
struct IniText {
  QByteArray bytes;
  bool shiftJis = false;
  qsizetype bodyStart = 0;  // after a UTF-8 byte order mark
  std::vector<Line> lines;

  static IniText from(QByteArray bytes) {
    IniText t;
    t.bytes = std::move(bytes);
    t.shiftJis = !textcodec::isValidUtf8(t.bytes);
    if (!t.shiftJis && t.bytes.startsWith("\xEF\xBB\xBF")) t.bodyStart = 3;
    t.split();
    return t;
  }

  void split() {
    lines.clear();
    const char* p = bytes.constData();
    const qsizetype n = bytes.size();
    qsizetype i = bodyStart;
    while (i < n) {
      qsizetype j = i;
      while (j < n && p[j] != '\n' && p[j] != '\r') ++j;
      qsizetype k = j;
      if (k < n && p[k] == '\r') ++k;
      if (k < n && p[k] == '\n' && (k == j || p[k - 1] == '\r')) ++k;
      lines.push_back({i, j, k});
      i = k;
    }
  }

  QString decode(const Line& l) const {
    const QByteArrayView raw(bytes.constData() + l.begin, l.end - l.begin);
    return shiftJis ? textcodec::decodeShiftJis(raw) : QString::fromUtf8(raw);
  }

  bool rawContains(const Line& l, char c) const {
    return QByteArrayView(bytes.constData() + l.begin, l.end - l.begin).contains(c);
  }

  // The section name of a "[name]" line.
  std::optional<QString> sectionName(const Line& l) const {
    if (!rawContains(l, '[')) return std::nullopt;
    const QString text = decode(l);
    const QStringView s = trimmed(text);
    if (!s.startsWith(u'[')) return std::nullopt;
    qsizetype close = s.indexOf(u']');
    if (close < 0) close = s.size();
    return trimmed(s.sliced(1, close - 1)).toString();
  }

  // The key and value of a "key=value" line.
  std::optional<std::pair<QString, QString>> keyValue(const Line& l) const {
    if (!rawContains(l, '=')) return std::nullopt;
    const QString text = decode(l);
    const qsizetype eq = text.indexOf(u'=');
    if (eq < 0) return std::nullopt;
    return std::make_pair(trimmed(QStringView(text).first(eq)).toString(),
                          trimmed(QStringView(text).sliced(eq + 1)).toString());
  }

  // Index range of the first section of that name: the header line and the
  // line after its last line.
  std::optional<std::pair<size_t, size_t>> findSection(const QString& section) const {
    for (size_t i = 0; i < lines.size(); ++i) {
      const auto name = sectionName(lines[i]);
      if (!name || !sameName(*name, section)) continue;
      size_t end = i + 1;
      while (end < lines.size() && !sectionName(lines[end])) ++end;
      return std::make_pair(i, end);
    }
    return std::nullopt;
  }

  std::optional<size_t> findKey(size_t first, size_t end, const QString& ident) const {
    for (size_t i = first; i < end; ++i) {
      if (sectionName(lines[i])) continue;
      const auto kv = keyValue(lines[i]);
      if (kv && sameName(kv->first, ident)) return i;
    }
    return std::nullopt;
  }

  QByteArray eol() const {
    const qsizetype lf = bytes.indexOf('\n');
    const qsizetype cr = bytes.indexOf('\r');
    if (cr >= 0 && (lf < 0 || cr < lf)) return (cr + 1 == lf) ? "\r\n" : "\r";
    return "\n";
  }
};

// One line of text, safe to put into the file: line breaks would start new
// lines and so new keys, which the caller never meant to write.
QString oneLine(QString s) {
  s.replace(u'\r', u' ');
  s.replace(u'\n', u' ');
  return s;
}

}  // namespace

IniFile::IniFile(QString fileName) : fileName_(std::move(fileName)) {}

std::optional<QString> IniFile::lookup(const QByteArray& file, const QString& section, const QString& ident) {
  const IniText t = IniText::from(file);
  const auto sec = t.findSection(section);
  if (!sec) return std::nullopt;
  const auto key = t.findKey(sec->first + 1, sec->second, ident);
  if (!key) return std::nullopt;
  QString value = t.keyValue(t.lines[*key])->second;
  if (value.size() > kMaxStringLength) {
    qsizetype n = kMaxStringLength;
    if (value[n - 1].isHighSurrogate()) --n;
    value.truncate(n);
  }
  return value;
}

QString IniFile::ReadString(const QString& section, const QString& ident, const QString& defaultValue) const {
  // Anything but a readable regular file reads as no file.
  QByteArray bytes;
  if (readRegularFile(fileName_, &bytes) != FileRead::Ok) return defaultValue;
  return lookup(bytes, section, ident).value_or(defaultValue);
}

std::optional<int> IniFile::parseInteger(QStringView s) {
  if (s.size() > 2 && s[0] == u'0' && (s[1] == u'x' || s[1] == u'X')) {
    const QStringView digits = s.sliced(2);
    if (digits.size() > 8) return std::nullopt;
    quint32 v = 0;
    for (QChar c : digits) {
      const char16_t u = c.unicode();
      int d = -1;
      if (u >= u'0' && u <= u'9')
        d = u - u'0';
      else if (u >= u'a' && u <= u'f')
        d = u - u'a' + 10;
      else if (u >= u'A' && u <= u'F')
        d = u - u'A' + 10;
      if (d < 0) return std::nullopt;
      v = (v << 4) | quint32(d);
    }
    return static_cast<int>(v);
  }
  qsizetype i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) negative = s[i++] == u'-';
  if (i == s.size()) return std::nullopt;
  qint64 v = 0;
  for (; i < s.size(); ++i) {
    const char16_t c = s[i].unicode();
    if (c < u'0' || c > u'9') return std::nullopt;
    v = v * 10 + (c - u'0');
    if (v > qint64(std::numeric_limits<int>::max()) + 1) return std::nullopt;
  }
  if (negative) v = -v;
  if (v > std::numeric_limits<int>::max() || v < std::numeric_limits<int>::min()) return std::nullopt;
  return static_cast<int>(v);
}

int IniFile::ReadInteger(const QString& section, const QString& ident, int defaultValue) const {
  // A default that no text can spell tells "missing" from "present".
  const QString text = ReadString(section, ident, QStringLiteral("\n"));
  if (text == u"\n") return defaultValue;
  return parseInteger(text).value_or(defaultValue);
}

bool IniFile::ReadBool(const QString& section, const QString& ident, bool defaultValue) const {
  return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

QByteArray IniFile::withValue(const QByteArray& file, const QString& section, const QString& ident,
                              const QString& value) {
  IniText t = IniText::from(file);
  const QByteArray eol = t.eol();
  const QString lineText = oneLine(ident) + u'=' + oneLine(value);
  const QString header = u'[' + oneLine(section) + u']';

  // Encode in the file's own encoding; a character that Shift_JIS cannot hold
  // moves the whole file to UTF-8 rather than losing it.
  auto encode = [&t](const QString& s) -> std::optional<QByteArray> {
    if (!t.shiftJis) return s.toUtf8();
    return textcodec::encodeShiftJis(s);
  };
  if (t.shiftJis && (!encode(lineText) || !encode(header))) {
    QByteArray utf8;
    for (const Line& l : t.lines) {
      utf8 += t.decode(l).toUtf8();
      utf8 += t.bytes.mid(l.end, l.eolEnd - l.end);
    }
    t.bytes = utf8;
    t.shiftJis = false;
    t.bodyStart = 0;
    t.split();
  }
  const QByteArray newLine = *encode(lineText);

  QByteArray out;
  const auto sec = t.findSection(section);
  if (!sec) {
    out = t.bytes;
    if (!out.isEmpty() && !out.endsWith('\n') && !out.endsWith('\r')) out += eol;
    out += *encode(header) + eol + newLine + eol;
  } else if (const auto key = t.findKey(sec->first + 1, sec->second, ident)) {
    const Line& l = t.lines[*key];
    out = t.bytes.left(l.begin) + newLine + t.bytes.mid(l.end);
  } else {
    // After the section's last non-blank line, so blank lines that separate
    // it from the next section stay where they are.
    size_t last = sec->first;
    for (size_t i = sec->first + 1; i < sec->second; ++i)
      if (!trimmed(t.decode(t.lines[i])).isEmpty()) last = i;
    const Line& l = t.lines[last];
    if (l.eolEnd == l.end) {
      out = t.bytes.left(l.end) + eol + newLine + eol + t.bytes.mid(l.eolEnd);
    } else {
      out = t.bytes.left(l.eolEnd) + newLine + eol + t.bytes.mid(l.eolEnd);
    }
  }
  return out;
}

void IniFile::WriteString(const QString& section, const QString& ident, const QString& value) {
  const auto refused = [this] { return EInOutError(QStringLiteral("%1 に書き込めません").arg(fileName_)); };
  // Another running copy may have written since our last read: read again
  // under the lock and change only this key in what the file holds now.
  const FileLock lock(fileName_);
  QByteArray bytes;
  const FileRead read = readRegularFile(fileName_, &bytes);
  // A file that is there but cannot be read is never replaced blind.
  if (read != FileRead::Ok && read != FileRead::Missing) throw refused();
  if (!atomicReplaceFile(fileName_, withValue(bytes, section, ident, value))) throw refused();
}

void IniFile::WriteInteger(const QString& section, const QString& ident, int value) {
  WriteString(section, ident, QString::number(value));
}

void IniFile::WriteBool(const QString& section, const QString& ident, bool value) {
  WriteString(section, ident, value ? QStringLiteral("1") : QStringLiteral("0"));
}
