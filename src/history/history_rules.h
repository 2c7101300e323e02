#pragma once

// What the history keeps and how the address box's list is chosen from it:
// plain rules without a database or widgets.
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

namespace history {

// Whether a page shown at `url` goes into the history: pages from the
// network and local files, not about:, data: or the engines' own pages.
bool recordable(const QString& url);

// The address as typed without its scheme and a leading "www.", in lower
// case: "https://www.Example.com/a" gives "example.com/a". Prefix matches
// on it find a page by its host or path as the user starts typing it.
QString bareAddress(const QString& url);

// The lower-case words of a title for prefix matches: split at spaces and
// punctuation, and where the script changes (kanji, kana, latin), so a
// Japanese title is found from the start of each of its runs too.
QStringList titleWords(const QString& title);

// The page's own title, or empty where the engine shows its address in
// place of one ("127.0.0.1:8080/a.html" for "http://127.0.0.1:8080/a.html").
QString pageTitle(const QString& title, const QString& url);

// The two addresses name the same page for "how was it reached": the
// typed "example.com" and the committed "http://example.com/" do.
bool sameAddress(const QString& a, const QString& b);

// One page offered in the address box's list.
struct Candidate {
  QString url;
  QString title;
  int visitCount = 0;
  qint64 lastVisit = 0;  // ms since the epoch, 0 for never
  bool bookmark = false;
  qint64 id = 0;  // the history's own id, 0 for a bookmark never visited
};

// The list for `typed`: candidates whose address (with or without scheme
// and "www."), or a word of whose title, starts with the typed text, case
// ignored; the same address once, as a bookmark when it is one. Ordered by
// visits weighed by how recent the last one was, bookmarks first on ties,
// then the more recent, then the shorter address. At most `limit`.
QList<Candidate> rankCompletions(const QString& typed, const QList<Candidate>& candidates, qint64 nowMs, int limit = 8);

// How much a candidate's visits count at `nowMs`.
double frecency(int visitCount, qint64 lastVisit, qint64 nowMs);

// The parts of `text` to mark for `typed`: each (start, length) where the
// address or a title word begins with it, case ignored.
QList<std::pair<int, int>> typedSpans(const QString& text, const QString& typed);

// `text` as rich text with the spans marked in bold, everything escaped.
QString markedHtml(const QString& text, const QString& typed);

// The heading of the day a page was last visited on: "今日", "昨日", or
// the date ("2026年12月7日 (月)").
QString dayHeading(const QDate& day, const QDate& today);

// What 履歴を消去 removes: the last hour, day, week, or everything.
enum class ClearRange { Hour, Day, Week, All };
// The earliest time (ms) removed; 0 for all.
qint64 clearFrom(ClearRange range, qint64 nowMs);

}  // namespace history
