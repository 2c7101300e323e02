#pragma once

// Downloads of both engines: the save question, the file written as
// NAME.part and renamed when complete, and the "ダウンロード" window that
// lists them. Downloads belong to the program, not to the window whose page
// started them, and go on when that window closes; the questions belong to
// the window, and go with it.
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <utility>

#include "page/download_list.h"
#include "page/download_rules.h"

class QFileDialog;
class TDownloadWindow;

// What an engine knows of a download when it asks where it goes.
struct DownloadOffer {
  QString url;            // the download's own address
  QString pageUrl;        // the page that started it, when known
  QString suggestedName;  // the server's name, as the engine has it
};

class DownloadJob : public QObject {
  Q_OBJECT
 public:
  enum class State { Running, Completed, Cancelled, Failed };

  // part: the file the engine writes, claimed for this download alone.
  // cancel: asks the engine to stop; it reports back through cancelled().
  DownloadJob(const QString& url, const QString& target, const QString& part, std::function<void()> cancel,
              QObject* parent);

  // Where the file ends; another free name when target was taken while it
  // ran (then note() says so).
  QString target() const { return target_; }
  QString url() const { return url_; }
  QString partPath() const { return part_; }
  QString note() const { return note_; }
  State state() const { return state_; }
  qint64 received() const { return received_; }
  qint64 total() const { return total_; }
  qint64 speed() const { return meter_.bytesPerSecond(); }
  QString error() const { return error_; }
  // A download of a private window: its file is kept, the list keeps no entry.
  bool isPrivate() const { return private_; }
  void setPrivate(bool on) { private_ = on; }

  // From the engine.
  void progress(qint64 received, qint64 total);
  // The .part file is complete: it takes the real name, unless it is not
  // the size the server announced.
  void finished();
  void failed(const QString& why);
  void cancelled();
  // From the user.
  void cancel();

 signals:
  void changed();

 private:
  void end(State state, const QString& error = {});
  void moveIntoPlace();

  QString url_, target_, part_, error_, note_;
  // The file the user chose to replace, as it was when they chose it.
  std::optional<std::pair<quint64, quint64>> replaces_;
  std::function<void()> cancel_;
  State state_ = State::Running;
  bool private_ = false;
  qint64 received_ = 0, total_ = -1;
  SpeedMeter meter_;
  QElapsedTimer clock_;
};

class DownloadManager : public QObject {
  Q_OBJECT
 public:
  static DownloadManager* instance();
  ~DownloadManager() override;

  using Answer = std::function<void(const QString& target)>;
  // Asks where a download goes: a save question in the user's download
  // folder with the server's name made safe, over the window of near and
  // modal to nothing. A window's questions come one at a time, in order.
  // answer runs later, never inside this call, with the chosen path, or
  // empty when the user said no, the site's downloads were refused, or the
  // window closed first. A question that cannot be shown is reported
  // later as an error and answered empty.
  void ask(QWidget* near, const DownloadOffer& offer, Answer answer);
  // A download the user agreed to, written to part (see claimPartFile);
  // the window shows it.
  DownloadJob* start(const QString& url, const QString& target, const QString& part, std::function<void()> cancel);

  // The folder downloads are offered in, made when it is missing (never the
  // home folder itself).
  static QString folder();
  // A .part file beside target that is this download's alone: NAME.part,
  // or NAME.1.part and on when another file has that name, created empty.
  static QString claimPartFile(const QString& target);

  const QList<QPointer<DownloadJob>>& jobs() const { return jobs_; }
  // The window, made on first use with the downloads of earlier runs.
  TDownloadWindow* window();
  // Shows the window in front, whether or not anything downloads.
  void showWindow();
  // The ended downloads kept across restarts, newest first.
  const QList<DownloadRecord>& kept();
  // 一覧を消去: forgets every download that is over, here and on disk;
  // with sinceMs, only those that ended from then on.
  void clearList(qint64 sinceMs = 0);
  // The question on screen for a window (w or a widget inside it), if any,
  // and how many downloads of it wait for an answer, that one included.
  QFileDialog* question(QWidget* w) const;
  int waiting(QWidget* w) const;

 private:
  struct Pending {
    DownloadOffer offer;
    QString site;
    bool offerRefusal = false;
    Answer answer;
  };
  struct Queue {
    QPointer<QWidget> near;
    QList<Pending> pending;
    QPointer<QFileDialog> dialog;
    QHash<QString, int> asked;  // questions per site in this window
  };

  explicit DownloadManager(QObject* parent);
  void showNext(QObject* key);
  void answered(QObject* key, const QString& target, bool refuseSite);
  void windowGone(QObject* key);
  const Queue* queueOf(QWidget* w) const;
  static void reply(Answer answer, const QString& target);
  void keep(const DownloadJob* job);

  QList<QPointer<DownloadJob>> jobs_;
  QList<DownloadRecord> kept_;
  bool keptRead_ = false;
  QPointer<TDownloadWindow> window_;
  QHash<QObject*, Queue> queues_;
  QSet<QString> refusedSites_;  // for the rest of the session
};

// The "ダウンロード" window: one row per download with progress, size,
// speed, cancel, open file and open folder; the downloads of earlier runs
// below those of this one, until 一覧を消去.
class TDownloadWindow : public QWidget {
  Q_OBJECT
 public:
  explicit TDownloadWindow(QWidget* parent = nullptr);
  void add(DownloadJob* job);
  // A download of an earlier run, under those already listed.
  void addKept(const DownloadRecord& record);
  // Takes away the rows of downloads that are over.
  void removeEnded();

 private:
  struct Row {
    QPointer<QWidget> widget;
    QPointer<DownloadJob> job;  // none for an earlier run's
  };
  QWidget* rows_;
  QList<Row> listed_;
};
