#pragma once

// Downloads of both engines: the save question, the file written as
// NAME.part and renamed when complete, and the "ダウンロード" window that
// lists them. Downloads belong to the program, not to the window whose page
// started them, and go on when that window closes.
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

#include "page/download_rules.h"

class TDownloadWindow;

class DownloadJob : public QObject {
  Q_OBJECT
 public:
  enum class State { Running, Completed, Cancelled, Failed };

  // cancel: asks the engine to stop; it reports back through cancelled().
  DownloadJob(const QString& url, const QString& target, std::function<void()> cancel, QObject* parent);

  QString url() const { return url_; }
  QString target() const { return target_; }
  QString partPath() const { return partFileFor(target_); }
  State state() const { return state_; }
  qint64 received() const { return received_; }
  qint64 total() const { return total_; }
  qint64 speed() const { return meter_.bytesPerSecond(); }
  QString error() const { return error_; }

  // From the engine.
  void progress(qint64 received, qint64 total);
  void finished();  // the .part file is complete: it takes the real name
  void failed(const QString& why);
  void cancelled();
  // From the user.
  void cancel();

 signals:
  void changed();

 private:
  void end(State state, const QString& error = {});

  QString url_, target_, error_;
  std::function<void()> cancel_;
  State state_ = State::Running;
  qint64 received_ = 0, total_ = -1;
  SpeedMeter meter_;
  QElapsedTimer clock_;
};

class DownloadManager : public QObject {
  Q_OBJECT
 public:
  static DownloadManager* instance();
  ~DownloadManager() override;

  // Where to save a download: a save dialog in the user's download folder
  // with the server's file name. Empty when the user cancels.
  QString askTarget(QWidget* near, const QString& suggestedName);
  // A download the user agreed to; the window shows it.
  DownloadJob* start(const QString& url, const QString& target, std::function<void()> cancel);

  const QList<QPointer<DownloadJob>>& jobs() const { return jobs_; }
  TDownloadWindow* window();

 private:
  explicit DownloadManager(QObject* parent);
  QList<QPointer<DownloadJob>> jobs_;
  QPointer<TDownloadWindow> window_;
};

// The "ダウンロード" window: one row per download with progress, size,
// speed, cancel, open file and open folder.
class TDownloadWindow : public QWidget {
  Q_OBJECT
 public:
  explicit TDownloadWindow(QWidget* parent = nullptr);
  void add(DownloadJob* job);

 private:
  QWidget* rows_;
};
