#pragma once

// The run's record of its windows in the user's data folder: written
// shortly after each change, atomically; the last run's record kept aside
// when the run starts; a mark in the folder while a run is under way, so the
// next start knows whether the last one ended cleanly.
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

#include "session/session_record.h"

namespace session {

class Store : public QObject {
  Q_OBJECT
 public:
  // How long after a change the record is written: the changes of one step
  // (a window opened, its page loading, its title) go in one write.
  static constexpr int kDelayMs = 400;

  Store(const QString& folder, QObject* parent = nullptr);

  // Begins the run: sets the last run's record aside (when it held
  // windows), takes over its closed windows, and sets the mark. Tells
  // whether the last run ended without taking its mark away.
  bool BeginRun();
  // Writes what is open once more and takes the mark away.
  void EndRun();

  // What the record of the run holds now (the open windows; the closed
  // ones are the store's own).
  void SetSource(std::function<Record()> source) { source_ = std::move(source); }
  // Something the record holds changed: it is written in a moment.
  void Changed();
  // Writes now, if a write is due.
  void Flush();

  // The windows of the last run; none when there were none or its file
  // was damaged (which is set aside and told).
  Record Previous();

  void PushClosed(const Window& window);
  std::optional<Window> PopClosed();
  bool HasClosed() const { return !closed_.isEmpty(); }

  QString FilePath() const;
  QString PreviousPath() const;
  QString MarkPath() const;

 signals:
  // Something the user should hear of (a damaged file set aside, a failed write).
  void notice(const QString& text);
  void closedChanged();

 private:
  std::optional<Record> read(const QString& path);
  void write();

  QString folder_;
  std::function<Record()> source_;
  QList<Window> closed_;
  QTimer timer_;
  bool running_ = false;
  bool writeFailed_ = false;
};

}  // namespace session
