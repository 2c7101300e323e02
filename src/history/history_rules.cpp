#include "history/history_rules.h"

#include <QHash>
#include <QLocale>
#include <QUrl>
#include <algorithm>

namespace history {

namespace {

QString withoutScheme(const QString& lowerUrl) {
  const qsizetype at = lowerUrl.indexOf(QLatin1String("://"));
  // A scheme is letters (and + - .) before "://"; anything else is no scheme.
  if (at <= 0) return lowerUrl;
  for (qsizetype i = 0; i < at; ++i) {
    const QChar c = lowerUrl[i];
    if (!(c.isLetterOrNumber() || c == u'+' || c == u'-' || c == u'.')) return lowerUrl;
  }
  return lowerUrl.mid(at + 3);
}

enum class Script { None, Latin, Hiragana, Katakana, Han, Other };

Script scriptOf(QChar c) {
  if (!c.isLetterOrNumber() && c != u'ー') return Script::None;
  const ushort u = c.unicode();
  if (u == 0x30FC || (u >= 0x30A0 && u <= 0x30FF) || (u >= 0xFF66 && u <= 0xFF9F)) return Script::Katakana;
  if (u >= 0x3040 && u <= 0x309F) return Script::Hiragana;
  if (c.script() == QChar::Script_Han) return Script::Han;
  if (c.script() == QChar::Script_Latin || c.isDigit() || c.script() == QChar::Script_Common) return Script::Latin;
  return Script::Other;
}

// Whether a word begins at position i of text.
bool wordStart(const QString& text, qsizetype i) {
  const Script here = scriptOf(text[i]);
  if (here == Script::None) return false;
  return i == 0 || scriptOf(text[i - 1]) != here;
}

bool matchesTitle(const QString& title, const QStringList& typedWords) {
  if (typedWords.isEmpty()) return false;
  const QStringList words = titleWords(title);
  for (const QString& t : typedWords) {
    if (std::none_of(words.begin(), words.end(), [&](const QString& w) { return w.startsWith(t); })) return false;
  }
  return true;
}

bool matchesAddress(const QString& url, const QString& typed) {
  const QString lower = url.toLower();
  // The scheme only counts once the user types one: "h" should not offer
  // every page there is.
  if (typed.contains(u':') && lower.startsWith(typed)) return true;
  return withoutScheme(lower).startsWith(typed) || bareAddress(url).startsWith(typed);
}

}  // namespace

bool recordable(const QString& url) {
  const QUrl u(url);
  if (!u.isValid() || u.isEmpty()) return false;
  const QString scheme = u.scheme().toLower();
  return scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("file") ||
         scheme == QLatin1String("ftp");
}

QString bareAddress(const QString& url) {
  QString s = withoutScheme(url.toLower());
  if (s.startsWith(QLatin1String("www."))) s.remove(0, 4);
  return s;
}

QStringList titleWords(const QString& title) {
  QStringList words;
  const QString t = title.toLower();
  qsizetype start = -1;
  Script current = Script::None;
  for (qsizetype i = 0; i <= t.size(); ++i) {
    const Script s = i < t.size() ? scriptOf(t[i]) : Script::None;
    if (s == current) continue;
    if (start >= 0) words << t.mid(start, i - start);
    start = s == Script::None ? -1 : i;
    current = s;
  }
  words.removeDuplicates();
  return words;
}

QString pageTitle(const QString& title, const QString& url) {
  const QString t = title.trimmed();
  auto forms = [](const QString& s) {
    QString lower = s.toLower();
    if (lower.endsWith(u'/')) lower.chop(1);
    return QStringList{lower, withoutScheme(lower)};
  };
  const QUrl u(url);
  QStringList addresses = forms(url);
  addresses += forms(u.toDisplayString());
  addresses += forms(QUrl::fromPercentEncoding(url.toUtf8()));
  QString shown = t.toLower();
  if (shown.endsWith(u'/')) shown.chop(1);
  return t.isEmpty() || addresses.contains(shown) ? QString() : t;
}

bool sameAddress(const QString& a, const QString& b) {
  auto norm = [](const QString& s) {
    QString n =
        QUrl::fromUserInput(s.trimmed()).adjusted(QUrl::NormalizePathSegments | QUrl::RemoveFragment).toString();
    if (n.endsWith(u'/')) n.chop(1);
    return n;
  };
  return !a.trimmed().isEmpty() && norm(a) == norm(b);
}

double frecency(int visitCount, qint64 lastVisit, qint64 nowMs) {
  constexpr qint64 day = 24LL * 3600 * 1000;
  const qint64 age = nowMs - lastVisit;
  double weight = 0.1;
  if (age <= 4 * day)
    weight = 1.0;
  else if (age <= 14 * day)
    weight = 0.7;
  else if (age <= 31 * day)
    weight = 0.5;
  else if (age <= 90 * day)
    weight = 0.3;
  return visitCount * weight;
}

QList<Candidate> rankCompletions(const QString& typed, const QList<Candidate>& candidates, qint64 nowMs, int limit) {
  const QString t = typed.trimmed().toLower();
  if (t.isEmpty() || limit <= 0) return {};
  const QStringList typedWords = titleWords(t);
  // One entry per address: a visited bookmark keeps its visits.
  QList<Candidate> merged;
  QHash<QString, qsizetype> at;
  for (const Candidate& c : candidates) {
    if (!matchesAddress(c.url, t) && !matchesTitle(c.title, typedWords)) continue;
    const auto found = at.constFind(c.url);
    if (found == at.constEnd()) {
      at.insert(c.url, merged.size());
      merged << c;
      continue;
    }
    Candidate& m = merged[*found];
    m.bookmark = m.bookmark || c.bookmark;
    if (c.id) {
      m.id = c.id;
      m.visitCount = std::max(m.visitCount, c.visitCount);
      m.lastVisit = std::max(m.lastVisit, c.lastVisit);
      if (m.title.isEmpty()) m.title = c.title;
    }
    if (c.bookmark && !c.title.isEmpty()) m.title = c.title;
  }
  std::stable_sort(merged.begin(), merged.end(), [nowMs](const Candidate& a, const Candidate& b) {
    const double fa = frecency(a.visitCount, a.lastVisit, nowMs), fb = frecency(b.visitCount, b.lastVisit, nowMs);
    if (fa != fb) return fa > fb;
    if (a.bookmark != b.bookmark) return a.bookmark;
    if (a.lastVisit != b.lastVisit) return a.lastVisit > b.lastVisit;
    return a.url.size() < b.url.size();
  });
  if (merged.size() > limit) merged.resize(limit);
  return merged;
}

QList<std::pair<int, int>> typedSpans(const QString& text, const QString& typed) {
  QList<std::pair<int, int>> spans;
  const QString t = typed.trimmed().toLower();
  if (t.isEmpty()) return spans;
  const QString lower = text.toLower();
  // Each typed word is marked where a word of the text begins with it.
  QStringList parts = t.split(u' ', Qt::SkipEmptyParts);
  for (const QString& p : parts) {
    for (qsizetype i = lower.indexOf(p); i >= 0; i = lower.indexOf(p, i + 1)) {
      if (!wordStart(lower, i)) continue;
      const bool overlaps = std::any_of(
          spans.begin(), spans.end(), [&](const auto& s) { return i < s.first + s.second && s.first < i + p.size(); });
      if (!overlaps) spans.append({int(i), int(p.size())});
    }
  }
  std::sort(spans.begin(), spans.end());
  return spans;
}

QString markedHtml(const QString& text, const QString& typed) {
  QString out;
  int pos = 0;
  for (const auto& [start, length] : typedSpans(text, typed)) {
    out += text.mid(pos, start - pos).toHtmlEscaped();
    out += QStringLiteral("<b>") + text.mid(start, length).toHtmlEscaped() + QStringLiteral("</b>");
    pos = start + length;
  }
  out += text.mid(pos).toHtmlEscaped();
  return out;
}

QString dayHeading(const QDate& day, const QDate& today) {
  if (day == today) return QStringLiteral("今日");
  if (day == today.addDays(-1)) return QStringLiteral("昨日");
  return QLocale(QLocale::Japanese, QLocale::Japan).toString(day, QStringLiteral("yyyy年M月d日 (ddd)"));
}

qint64 clearFrom(ClearRange range, qint64 nowMs) {
  constexpr qint64 hour = 3600LL * 1000;
  switch (range) {
    case ClearRange::Hour:
      return nowMs - hour;
    case ClearRange::Day:
      return nowMs - 24 * hour;
    case ClearRange::Week:
      return nowMs - 7 * 24 * hour;
    case ClearRange::All:
      break;
  }
  return 0;
}

}  // namespace history
