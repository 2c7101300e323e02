#include "page/download_rules.h"

#include <QUrl>

namespace {

int utf8Bytes(QStringView s) { return static_cast<int>(s.toUtf8().size()); }

// The longest start of s within maxBytes of UTF-8, never halving a
// surrogate pair.
QString cutToBytes(const QString& s, int maxBytes) {
  int bytes = 0;
  qsizetype i = 0;
  while (i < s.size()) {
    const qsizetype len = s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate() ? 2 : 1;
    const int more = utf8Bytes(QStringView(s).mid(i, len));
    if (bytes + more > maxBytes) break;
    bytes += more;
    i += len;
  }
  return s.left(i);
}

// A file name's extension with its dot, when it has a short one.
QString extensionOf(const QString& name) {
  const qsizetype dot = name.lastIndexOf(u'.');
  if (dot <= 0) return {};
  const QString ext = name.mid(dot);
  return ext.size() > 1 && utf8Bytes(ext) <= 24 ? ext : QString();
}

// name with its stem cut so that name + tail fits the limit; the
// extension stays when there is room for some of the stem.
QString fitName(const QString& name, const QString& tail) {
  const int room = kMaxFileNameBytes - utf8Bytes(tail);
  if (utf8Bytes(name) <= room) return name + tail;
  const QString ext = extensionOf(name);
  const QString stem = name.left(name.size() - ext.size());
  if (!ext.isEmpty() && utf8Bytes(ext) < room) return cutToBytes(stem, room - utf8Bytes(ext)) + ext + tail;
  return cutToBytes(name, room) + tail;
}

bool shownAsNothing(char32_t c) {
  switch (QChar::category(c)) {
    case QChar::Other_Control:        // C0, DEL, C1
    case QChar::Other_Format:         // bidirectional overrides, zero widths, tags
    case QChar::Other_Surrogate:      // a half pair
    case QChar::Separator_Line:       // U+2028
    case QChar::Separator_Paragraph:  // U+2029
      return true;
    default:
      return false;
  }
}

QString cleanName(const QString& raw) {
  // Only the last part of a path: a name never leads into another folder.
  const QString last = raw.mid(qMax(raw.lastIndexOf(u'/'), raw.lastIndexOf(u'\\')) + 1);
  QString name;
  for (qsizetype i = 0; i < last.size(); ++i) {
    char32_t c = last[i].unicode();
    if (last[i].isHighSurrogate() && i + 1 < last.size() && last[i + 1].isLowSurrogate()) {
      c = QChar::surrogateToUcs4(last[i], last[i + 1]);
      ++i;
    }
    if (shownAsNothing(c)) continue;
    if (QChar::requiresSurrogates(c))
      name += QChar(QChar::highSurrogate(c)), name += QChar(QChar::lowSurrogate(c));
    else
      name += QChar(static_cast<char16_t>(c));
  }
  auto trim = [&name] {
    qsizetype from = 0;
    while (from < name.size() && (name[from] == u'.' || name[from] == u'~' || name[from].isSpace())) ++from;
    qsizetype to = name.size();
    while (to > from && (name[to - 1] == u'.' || name[to - 1].isSpace())) --to;
    name = name.mid(from, to - from);
  };
  trim();
  name = fitName(name, QStringLiteral(".part"));
  name.chop(5);
  trim();  // a cut may end on a dot or a space
  return name;
}

}  // namespace

QString downloadFileName(const QString& suggested, const QString& url) {
  QString name = cleanName(suggested);
  if (name.isEmpty()) name = cleanName(QUrl(url).fileName());
  if (name.isEmpty()) name = QStringLiteral("download");
  return name;
}

QString partFileFor(const QString& path, int attempt) {
  const qsizetype slash = path.lastIndexOf(u'/') + 1;
  const QString tail = attempt > 0 ? QStringLiteral(".%1.part").arg(attempt) : QStringLiteral(".part");
  return path.left(slash) + fitName(path.mid(slash), tail);
}

QString freeNameFor(const QString& path, int n) {
  const qsizetype slash = path.lastIndexOf(u'/') + 1;
  const QString name = path.mid(slash);
  const QString ext = extensionOf(name);
  const QString stem = name.left(name.size() - ext.size());
  const QString mark = QStringLiteral(" (%1)").arg(n);
  const int room = kMaxFileNameBytes - utf8Bytes(mark) - utf8Bytes(ext);
  return path.left(slash) + cutToBytes(stem, qMax(room, 1)) + mark + ext;
}

QString incompleteDownloadReason(qint64 announced, qint64 received) {
  // More than announced only comes of a compressed body, which is whole.
  if (announced <= 0 || received >= announced) return {};
  return QStringLiteral("サーバーが知らせた大きさ (%1 バイト) と受け取った大きさ (%2 バイト) が違います")
      .arg(announced)
      .arg(received);
}

QString downloadSite(const QString& pageUrl, const QString& downloadUrl) {
  QUrl u(pageUrl);
  if (!u.isValid() || u.scheme().isEmpty() || u.scheme() == u"about") u = QUrl(downloadUrl);
  const QString host = u.host().toLower();
  if (host.isEmpty()) return u.scheme().toLower() + u':';
  return u.port() >= 0 ? host + u':' + QString::number(u.port()) : host;
}

QString sizeText(qint64 bytes) {
  if (bytes < 0) bytes = 0;
  if (bytes < 1024) return QStringLiteral("%1 バイト").arg(bytes);
  static const char* units[] = {"KB", "MB", "GB", "TB"};
  double v = static_cast<double>(bytes);
  int u = -1;
  do {
    v /= 1024.0;
    ++u;
  } while (v >= 1024.0 && u < 3);
  return QStringLiteral("%1 %2").arg(QString::number(v, 'f', v < 10 ? 1 : 0), QLatin1String(units[u]));
}

QString progressText(qint64 received, qint64 total, qint64 bytesPerSecond) {
  QString text = total > 0 ? QStringLiteral("%1 / %2").arg(sizeText(received), sizeText(total)) : sizeText(received);
  if (bytesPerSecond > 0) text += QStringLiteral("、%1/秒").arg(sizeText(bytesPerSecond));
  return text;
}

int progressPercent(qint64 received, qint64 total) {
  if (total <= 0) return -1;
  if (received >= total) return 100;
  return static_cast<int>(received * 100 / total);
}

void SpeedMeter::sample(qint64 nowMs, qint64 bytes) {
  samples_.emplace_back(nowMs, bytes);
  while (samples_.size() > 2 && nowMs - samples_.front().first > kWindowMs) samples_.pop_front();
}

qint64 SpeedMeter::bytesPerSecond() const {
  if (samples_.size() < 2) return 0;
  const auto& [t0, b0] = samples_.front();
  const auto& [t1, b1] = samples_.back();
  if (t1 <= t0 || b1 <= b0) return 0;
  return (b1 - b0) * 1000 / (t1 - t0);
}
