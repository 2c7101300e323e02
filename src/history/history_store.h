#pragma once

// The history database, history.sqlite in the user's data folder beside the
// engines' web data. Writes go to a worker thread with a connection of its
// own, so the interface never waits for the disk; reads (the address box's
// list, the history window) use a second connection on the calling thread
// and only indexed or bounded queries. The database keeps a write-ahead log,
// so a kill at any moment leaves it whole. One that cannot be read is set
// aside under a new name and a new one started; nothing here stops the
// program from starting.
#include <QList>
#include <QObject>
#include <QString>

#include "history/history_rules.h"

class QThread;

namespace history {

class StoreWorker;

// One page of the history.
struct Entry {
  qint64 id = 0;
  QString url;
  QString title;
  int visitCount = 0;
  qint64 lastVisit = 0;  // ms since the epoch
};

class Store : public QObject {
  Q_OBJECT
 public:
  static constexpr const char* kFileName = "history.sqlite";

  // Opens (in the background) the database in `folder`.
  explicit Store(const QString& folder, QObject* parent = nullptr);
  ~Store() override;

  QString path() const { return path_; }
  // The database is open and reads answer.
  bool isReady() const { return ready_; }

  // Queues a visit: the page at `url` was shown with `title` at `timeMs`,
  // reached as `reached` ("typed", "bookmark", "history" or empty).
  void recordVisit(const QString& url, const QString& title, qint64 timeMs, const QString& reached = {});
  // The page's title changed after its visit was recorded.
  void updateTitle(const QString& url, const QString& title);
  // Forgets pages with all their visits.
  void removeEntries(const QList<qint64>& ids);
  // Forgets every visit from `fromMs` on (0: all), and pages left unvisited.
  void clearFrom(qint64 fromMs);

  // Pages by last visit, newest first, those last visited before
  // `beforeMs` (0: any); at most `limit`.
  QList<Entry> recent(int limit, qint64 beforeMs = 0);
  // Pages whose title or address contains `text`, newest first.
  QList<Entry> search(const QString& text, int limit);
  // Pages the address box may offer for `typed` (more than it shows; the
  // ranking picks from them).
  QList<Candidate> completionCandidates(const QString& typed);

  // Returns once everything queued so far is written (tests, benchmarks,
  // and the close of the program).
  void waitWritten();

 signals:
  // The database is open (after setting a damaged one aside).
  void ready();
  // Something the user should hear of: a damaged database set aside, or a
  // history that cannot be kept at all.
  void notice(const QString& text);
  // Entries were removed or the history cleared.
  void changed();

 private:
  void opened(const QString& noticeText, bool ok);
  bool openReader();
  QString path_;
  QString readerName_;
  bool ready_ = false;
  QThread* thread_ = nullptr;
  StoreWorker* worker_ = nullptr;
};

// The store the program's windows record into; null while there is none.
Store* current();
void setCurrent(Store* store);

}  // namespace history
