#include "search/search_rules.h"

#include <QRegularExpression>
#include <QUrl>

#include "engine/address.h"

namespace search {

namespace {

bool isIPv4(const QString& host) {
  const QStringList parts = host.split(u'.');
  if (parts.size() != 4) return false;
  for (const QString& p : parts) {
    bool ok = false;
    const int n = p.toInt(&ok);
    if (!ok || p.isEmpty() || p.size() > 3 || n < 0 || n > 255) return false;
  }
  return true;
}

// A host name: labels of letters (any script), digits and hyphens, at least
// two of them, the last not all digits ("3.14" is a number, not a host).
bool isDottedHost(const QString& host) {
  const QStringList labels = host.split(u'.');
  if (labels.size() < 2) return false;
  for (const QString& label : labels) {
    if (label.isEmpty() || label.startsWith(u'-') || label.endsWith(u'-')) return false;
    for (QChar c : label)
      if (!c.isLetterOrNumber() && c != u'-' && !c.isMark() && !c.isSurrogate()) return false;
  }
  bool digitsOnly = true;
  for (QChar c : labels.last())
    if (!c.isDigit()) digitsOnly = false;
  return !digitsOnly;
}

// A port after the host: digits only, and a real one.
bool isPort(const QString& text) {
  bool ok = false;
  const int n = text.toInt(&ok);
  return ok && n > 0 && n < 65536;
}

bool hasScheme(const QString& t) {
  static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):"));
  const QRegularExpressionMatch m = scheme.match(t);
  if (!m.hasMatch()) return false;
  if (t.mid(m.capturedLength()).startsWith(QLatin1String("//"))) return true;
  static const QStringList known = {QStringLiteral("about"),  QStringLiteral("data"),        QStringLiteral("file"),
                                    QStringLiteral("mailto"), QStringLiteral("http"),        QStringLiteral("https"),
                                    QStringLiteral("ftp"),    QStringLiteral("view-source"), QStringLiteral("blob"),
                                    QStringLiteral("chrome"), QStringLiteral("javascript")};
  return known.contains(m.captured(1).toLower());
}

}  // namespace

std::optional<QString> searchTerms(const QString& typed) {
  const QString t = typed.trimmed();
  if (t.startsWith(u'?') || t.startsWith(QChar(0xFF1F))) return t.mid(1).trimmed();
  if (t.isEmpty() || hasScheme(t) || t == u'~' || looksLikeLocalPath(t)) return std::nullopt;
  for (QChar c : t)
    if (c.isSpace()) return t;
  // The host part, before any path, query or fragment, then any port.
  QString host = t.left(t.indexOf(QRegularExpression(QStringLiteral("[/?#]"))));
  if (host.startsWith(u'[')) {
    const int close = host.indexOf(u']');
    const QString rest = host.mid(close + 1);
    const bool v6 = close > 1 && (rest.isEmpty() || (rest.startsWith(u':') && isPort(rest.mid(1))));
    if (v6 && QUrl(QStringLiteral("http://") + host.left(close + 1)).isValid()) return std::nullopt;
    return t;
  }
  const int colon = host.lastIndexOf(u':');
  if (colon >= 0) {
    if (!isPort(host.mid(colon + 1))) return t;
    host = host.left(colon);
  }
  if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || isIPv4(host) || isDottedHost(host))
    return std::nullopt;
  return t;
}

const QList<Engine>& engines() {
  static const QList<Engine> list = {
      {QStringLiteral("Google"), QStringLiteral("Google"), QStringLiteral("https://www.google.com/search?q=%s")},
      {QStringLiteral("Yahoo"), QStringLiteral("Yahoo! JAPAN"),
       QStringLiteral("https://search.yahoo.co.jp/search?p=%s")},
      {QStringLiteral("Bing"), QStringLiteral("Bing"), QStringLiteral("https://www.bing.com/search?q=%s")},
      {QStringLiteral("DuckDuckGo"), QStringLiteral("DuckDuckGo"), QStringLiteral("https://duckduckgo.com/?q=%s")},
      {QStringLiteral("Wikipedia"), QStringLiteral("Wikipedia (日本語)"),
       QStringLiteral("https://ja.wikipedia.org/w/index.php?search=%s")},
  };
  return list;
}

const Engine& engineById(const QString& id) {
  for (const Engine& e : engines())
    if (e.id.compare(id, Qt::CaseInsensitive) == 0) return e;
  return engines().first();
}

QString searchAddress(const QString& pattern, const QString& terms) {
  QString out = pattern;
  return out.replace(QLatin1String("%s"), QString::fromLatin1(QUrl::toPercentEncoding(terms)));
}

}  // namespace search
