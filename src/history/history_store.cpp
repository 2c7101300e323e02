#include "history/history_store.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>
#include <atomic>
#include <functional>
#include <utility>

#include "history/history_recorder.h"

namespace history {

namespace {

std::atomic<int> connectionCount{0};

QString nextConnectionName(const char* what) {
  return QStringLiteral("zelvo-history-%1-%2").arg(QLatin1String(what)).arg(++connectionCount);
}

// The end of a prefix range: above every text that starts with `prefix`
// (U+10FFFF sorts after every other character in SQLite's byte order).
QString rangeEnd(const QString& prefix) { return prefix + QString::fromUcs4(U"\U0010FFFF"); }

// Qt binds a null string as NULL; the columns hold '' for "none".
QString text(const QString& s) { return s.isNull() ? QStringLiteral("") : s; }

// Words kept per page: enough for any title a user would search by.
constexpr int kMaxWords = 32;
constexpr int kMaxWordLength = 64;

const char* const kSchema[] = {
    "CREATE TABLE IF NOT EXISTS urls(id INTEGER PRIMARY KEY, url TEXT NOT NULL UNIQUE, bare TEXT NOT NULL,"
    " title TEXT NOT NULL DEFAULT '', visit_count INTEGER NOT NULL DEFAULT 0, last_visit INTEGER NOT NULL DEFAULT 0)",
    "CREATE INDEX IF NOT EXISTS urls_bare ON urls(bare)",
    "CREATE INDEX IF NOT EXISTS urls_last_visit ON urls(last_visit)",
    "CREATE TABLE IF NOT EXISTS visits(id INTEGER PRIMARY KEY, url_id INTEGER NOT NULL, time INTEGER NOT NULL,"
    " reached TEXT NOT NULL DEFAULT '')",
    "CREATE INDEX IF NOT EXISTS visits_time ON visits(time)",
    "CREATE INDEX IF NOT EXISTS visits_url ON visits(url_id)",
    "CREATE TABLE IF NOT EXISTS words(word TEXT NOT NULL, url_id INTEGER NOT NULL, PRIMARY KEY(word, url_id))"
    " WITHOUT ROWID",
    "CREATE INDEX IF NOT EXISTS words_url ON words(url_id)",
};

bool run(QSqlQuery& q, const QString& sql) { return q.exec(sql); }

}  // namespace

// Lives in the store's thread; every write happens here.
class StoreWorker : public QObject {
 public:
  explicit StoreWorker(QString path) : path_(std::move(path)), name_(nextConnectionName("writer")) {}

  // Opens the database, setting a damaged one aside. The text is for the
  // user (empty when all went well); false when no history can be kept.
  bool open(QString* noticeText) {
    const bool existed = QFileInfo::exists(path_);
    QString why;
    if (tryOpen(&why)) return true;
    close();
    if (!existed) {
      *noticeText = QStringLiteral("履歴を %1 に記録できません (%2)").arg(path_, why);
      return false;
    }
    const QString aside =
        path_ + QStringLiteral(".damaged-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (!QFile::rename(path_, aside)) {
      *noticeText = QStringLiteral("履歴のデータベース %1 を読めず、別の名前にも移せません (%2)").arg(path_, why);
      return false;
    }
    // The log and index of the damaged file belong to it, not to the new one.
    for (const char* suffix : {"-wal", "-shm"}) {
      const QString part = path_ + QLatin1String(suffix);
      if (QFileInfo::exists(part) && !QFile::rename(part, aside + QLatin1String(suffix))) QFile::remove(part);
    }
    if (!tryOpen(&why)) {
      close();
      *noticeText = QStringLiteral("履歴を %1 に記録できません (%2)").arg(path_, why);
      return false;
    }
    *noticeText = QStringLiteral("履歴のデータベースが壊れていたため %1 に移し、新しい履歴を始めました").arg(aside);
    return true;
  }

  void close() {
    flush();
    if (QSqlDatabase::contains(name_)) {
      {
        QSqlDatabase db = QSqlDatabase::database(name_, false);
        db.close();
      }
      QSqlDatabase::removeDatabase(name_);
    }
    ok_ = false;
  }

  // Visits queue up and go in one transaction once the thread has taken
  // every call already waiting: a burst of pages is one write.
  void recordVisit(const QString& url, const QString& title, qint64 time, const QString& reached) {
    if (!ok_) return;
    if (queue_.isEmpty())
      QMetaObject::invokeMethod(
          this, [this] { flush(); }, Qt::QueuedConnection);
    queue_.append({url, title, time, reached});
  }

  void flush() {
    if (queue_.isEmpty()) return;
    const QList<Visit> visits = std::exchange(queue_, {});
    if (!ok_) return;
    QSqlDatabase db = QSqlDatabase::database(name_, false);
    db.transaction();
    QSqlQuery upsert(db), visit(db);
    upsert.prepare(
        QStringLiteral("INSERT INTO urls(url, bare, title, visit_count, last_visit) VALUES(?, ?, ?, 1, ?)"
                       " ON CONFLICT(url) DO UPDATE SET visit_count = visit_count + 1,"
                       " last_visit = max(last_visit, excluded.last_visit),"
                       " title = CASE WHEN excluded.title <> '' THEN excluded.title ELSE urls.title END"));
    visit.prepare(QStringLiteral("INSERT INTO visits(url_id, time, reached) VALUES(?, ?, ?)"));
    for (const Visit& v : visits) {
      upsert.addBindValue(v.url);
      upsert.addBindValue(bareAddress(v.url));
      upsert.addBindValue(text(v.title));
      upsert.addBindValue(v.time);
      if (!upsert.exec()) failed(upsert.lastError());
      const qint64 id = urlId(db, v.url);
      if (!id) continue;
      visit.addBindValue(id);
      visit.addBindValue(v.time);
      visit.addBindValue(text(v.reached));
      if (!visit.exec()) failed(visit.lastError());
      if (!v.title.isEmpty()) setWords(db, id, v.title);
    }
    commit(db);
  }

  // Tells the user once that writes fail (a full disk, a file made
  // read-only); the database keeps what it had.
  std::function<void(const QString&)> report;

  void updateTitle(const QString& url, const QString& title) {
    if (!ok_ || title.isEmpty()) return;
    flush();
    QSqlDatabase db = QSqlDatabase::database(name_, false);
    db.transaction();
    QSqlQuery q(db);
    q.prepare(QStringLiteral("UPDATE urls SET title = ? WHERE url = ?"));
    q.addBindValue(title);
    q.addBindValue(url);
    q.exec();
    if (const qint64 id = urlId(db, url)) setWords(db, id, title);
    commit(db);
  }

  void removeEntries(const QList<qint64>& ids) {
    if (!ok_) return;
    flush();
    QSqlDatabase db = QSqlDatabase::database(name_, false);
    db.transaction();
    QSqlQuery q(db);
    for (const qint64 id : ids) {
      for (const char* sql : {"DELETE FROM visits WHERE url_id = ?", "DELETE FROM words WHERE url_id = ?",
                              "DELETE FROM urls WHERE id = ?"}) {
        q.prepare(QLatin1String(sql));
        q.addBindValue(id);
        q.exec();
      }
    }
    commit(db);
  }

  void clearFrom(qint64 from) {
    if (!ok_) return;
    flush();
    QSqlDatabase db = QSqlDatabase::database(name_, false);
    db.transaction();
    QSqlQuery q(db);
    if (from <= 0) {
      run(q, QStringLiteral("DELETE FROM visits"));
      run(q, QStringLiteral("DELETE FROM words"));
      run(q, QStringLiteral("DELETE FROM urls"));
    } else {
      q.prepare(QStringLiteral("DELETE FROM visits WHERE time >= ?"));
      q.addBindValue(from);
      q.exec();
      q.prepare(QStringLiteral(
          "UPDATE urls SET visit_count = (SELECT count(*) FROM visits WHERE url_id = urls.id),"
          " last_visit = (SELECT coalesce(max(time), 0) FROM visits WHERE url_id = urls.id) WHERE last_visit >= ?"));
      q.addBindValue(from);
      q.exec();
      run(q, QStringLiteral("DELETE FROM words WHERE url_id IN (SELECT id FROM urls WHERE visit_count = 0)"));
      run(q, QStringLiteral("DELETE FROM urls WHERE visit_count = 0"));
    }
    commit(db);
    // What was removed leaves the log too.
    run(q, QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
  }

 private:
  bool tryOpen(QString* why) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
    db.setDatabaseName(path_);
    if (!db.open()) {
      *why = db.lastError().text();
      return false;
    }
    QSqlQuery q(db);
    // Reading the mode reads the file's header: a file that is no database
    // fails here.
    if (!run(q, QStringLiteral("PRAGMA journal_mode=WAL")) || !q.next() ||
        q.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
      *why = q.lastError().text();
      return false;
    }
    run(q, QStringLiteral("PRAGMA synchronous=NORMAL"));
    run(q, QStringLiteral("PRAGMA secure_delete=ON"));
    run(q, QStringLiteral("PRAGMA busy_timeout=2000"));
    if (!run(q, QStringLiteral("PRAGMA quick_check(1)")) || !q.next() || q.value(0).toString() != QLatin1String("ok")) {
      *why = q.lastError().isValid() ? q.lastError().text() : q.value(0).toString();
      return false;
    }
    for (const char* sql : kSchema) {
      if (!run(q, QLatin1String(sql))) {
        *why = q.lastError().text();
        return false;
      }
    }
    ok_ = true;
    return true;
  }

  static qint64 urlId(QSqlDatabase& db, const QString& url) {
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT id FROM urls WHERE url = ?"));
    q.addBindValue(url);
    return q.exec() && q.next() ? q.value(0).toLongLong() : 0;
  }

  static void setWords(QSqlDatabase& db, qint64 id, const QString& title) {
    QSqlQuery q(db);
    q.prepare(QStringLiteral("DELETE FROM words WHERE url_id = ?"));
    q.addBindValue(id);
    q.exec();
    q.prepare(QStringLiteral("INSERT OR IGNORE INTO words(word, url_id) VALUES(?, ?)"));
    const QStringList words = titleWords(title);
    for (qsizetype i = 0; i < words.size() && i < kMaxWords; ++i) {
      q.addBindValue(words[i].left(kMaxWordLength));
      q.addBindValue(id);
      q.exec();
    }
  }

  void failed(const QSqlError& error) {
    if (reported_ || !report) return;
    reported_ = true;
    report(QStringLiteral("履歴を %1 に書き込めません (%2)").arg(path_, error.text()));
  }

  void commit(QSqlDatabase& db) {
    if (db.commit()) return;
    failed(db.lastError());
    db.rollback();
  }

  struct Visit {
    QString url;
    QString title;
    qint64 time;
    QString reached;
  };
  QString path_;
  QString name_;
  bool ok_ = false;
  bool reported_ = false;
  QList<Visit> queue_;
};

namespace {
Store*& currentStore() {
  static Store* s = nullptr;
  return s;
}

Entry entryFrom(const QSqlQuery& q) {
  return Entry{q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString(), q.value(3).toInt(),
               q.value(4).toLongLong()};
}
}  // namespace

Store* current() { return currentStore(); }
void setCurrent(Store* store) { currentStore() = store; }

Store::Store(const QString& folder, QObject* parent)
    : QObject(parent),
      path_(QDir(folder).filePath(QLatin1String(kFileName))),
      readerName_(nextConnectionName("reader")) {
  thread_ = new QThread(this);
  thread_->setObjectName(QStringLiteral("HistoryWriter"));
  worker_ = new StoreWorker(path_);
  worker_->report = [this](const QString& text) {
    QMetaObject::invokeMethod(
        this, [this, text] { emit notice(text); }, Qt::QueuedConnection);
  };
  worker_->moveToThread(thread_);
  thread_->start(QThread::LowPriority);
  QMetaObject::invokeMethod(worker_, [this, worker = worker_] {
    QString text;
    const bool ok = worker->open(&text);
    QMetaObject::invokeMethod(
        this, [this, text, ok] { opened(text, ok); }, Qt::QueuedConnection);
  });
}

Store::~Store() {
  // Visits still settling are written before the store goes.
  if (currentStore() == this) flushPending();
  if (currentStore() == this) currentStore() = nullptr;
  QMetaObject::invokeMethod(
      worker_, [worker = worker_] { worker->close(); }, Qt::BlockingQueuedConnection);
  thread_->quit();
  thread_->wait();
  delete worker_;
  if (QSqlDatabase::contains(readerName_)) {
    {
      QSqlDatabase db = QSqlDatabase::database(readerName_, false);
      db.close();
    }
    QSqlDatabase::removeDatabase(readerName_);
  }
}

void Store::opened(const QString& noticeText, bool ok) {
  ready_ = ok && openReader();
  if (!noticeText.isEmpty()) emit notice(noticeText);
  if (ready_) emit ready();
}

bool Store::openReader() {
  QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), readerName_);
  db.setDatabaseName(path_);
  db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=200"));
  if (!db.open()) return false;
  QSqlQuery q(db);
  return q.exec(QStringLiteral("PRAGMA query_only=ON"));
}

void Store::recordVisit(const QString& url, const QString& title, qint64 timeMs, const QString& reached) {
  QMetaObject::invokeMethod(worker_, [=, worker = worker_] { worker->recordVisit(url, title, timeMs, reached); });
}

void Store::updateTitle(const QString& url, const QString& title) {
  QMetaObject::invokeMethod(worker_, [=, worker = worker_] { worker->updateTitle(url, title); });
}

void Store::removeEntries(const QList<qint64>& ids) {
  QMetaObject::invokeMethod(worker_, [=, this, worker = worker_] {
    worker->removeEntries(ids);
    QMetaObject::invokeMethod(
        this, [this] { emit changed(); }, Qt::QueuedConnection);
  });
}

void Store::clearFrom(qint64 fromMs) {
  QMetaObject::invokeMethod(worker_, [=, this, worker = worker_] {
    worker->clearFrom(fromMs);
    QMetaObject::invokeMethod(
        this, [this] { emit changed(); }, Qt::QueuedConnection);
  });
}

void Store::waitWritten() {
  QMetaObject::invokeMethod(
      worker_, [worker = worker_] { worker->flush(); }, Qt::BlockingQueuedConnection);
}

QList<Entry> Store::recent(int limit, qint64 beforeMs) {
  QList<Entry> out;
  if (!ready_) return out;
  QSqlQuery q(QSqlDatabase::database(readerName_, false));
  q.prepare(beforeMs > 0 ? QStringLiteral("SELECT id, url, title, visit_count, last_visit FROM urls"
                                          " WHERE last_visit < ? ORDER BY last_visit DESC LIMIT ?")
                         : QStringLiteral("SELECT id, url, title, visit_count, last_visit FROM urls"
                                          " ORDER BY last_visit DESC LIMIT ?"));
  if (beforeMs > 0) q.addBindValue(beforeMs);
  q.addBindValue(limit);
  if (!q.exec()) return out;
  while (q.next()) out << entryFrom(q);
  return out;
}

QList<Entry> Store::search(const QString& text, int limit) {
  QList<Entry> out;
  if (!ready_) return out;
  QString pattern = text.trimmed();
  pattern.replace(u'\\', QLatin1String("\\\\")).replace(u'%', QLatin1String("\\%")).replace(u'_', QLatin1String("\\_"));
  pattern = u'%' + pattern + u'%';
  QSqlQuery q(QSqlDatabase::database(readerName_, false));
  q.prepare(
      QStringLiteral("SELECT id, url, title, visit_count, last_visit FROM urls"
                     " WHERE title LIKE ? ESCAPE '\\' OR url LIKE ? ESCAPE '\\'"
                     " ORDER BY last_visit DESC LIMIT ?"));
  q.addBindValue(pattern);
  q.addBindValue(pattern);
  q.addBindValue(limit);
  if (!q.exec()) return out;
  while (q.next()) out << entryFrom(q);
  return out;
}

QList<Candidate> Store::completionCandidates(const QString& typed) {
  QList<Candidate> out;
  const QString t = typed.trimmed().toLower();
  if (!ready_ || t.isEmpty()) return out;
  const QString bare = bareAddress(t);
  const QString word = titleWords(t).value(0);
  // Pages whose address or a title word starts with what was typed, through
  // the indexes; the most visited and the most recent of them.
  QString matching = QStringLiteral("SELECT id FROM urls WHERE bare >= :b AND bare < :be");
  if (!word.isEmpty()) matching += QStringLiteral(" UNION SELECT url_id FROM words WHERE word >= :w AND word < :we");
  if (t.contains(u':')) matching += QStringLiteral(" UNION SELECT id FROM urls WHERE url >= :u AND url < :ue");
  QSqlDatabase db = QSqlDatabase::database(readerName_, false);
  QSet<qint64> seen;
  for (const char* order : {"visit_count DESC, last_visit DESC", "last_visit DESC"}) {
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT id, url, title, visit_count, last_visit FROM urls WHERE id IN (%1)"
                             " ORDER BY %2 LIMIT 100")
                  .arg(matching, QLatin1String(order)));
    q.bindValue(QStringLiteral(":b"), bare);
    q.bindValue(QStringLiteral(":be"), rangeEnd(bare));
    if (!word.isEmpty()) {
      q.bindValue(QStringLiteral(":w"), word);
      q.bindValue(QStringLiteral(":we"), rangeEnd(word));
    }
    if (t.contains(u':')) {
      q.bindValue(QStringLiteral(":u"), t);
      q.bindValue(QStringLiteral(":ue"), rangeEnd(t));
    }
    if (!q.exec()) continue;
    while (q.next()) {
      const Entry e = entryFrom(q);
      if (seen.contains(e.id)) continue;
      seen.insert(e.id);
      out << Candidate{e.url, e.title, e.visitCount, e.lastVisit, false, e.id};
    }
  }
  return out;
}

}  // namespace history
