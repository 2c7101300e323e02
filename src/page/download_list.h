#pragma once

// The downloads that ended (complete or failed), kept across restarts in
// the user's data folder until the list is cleared.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

struct DownloadRecord {
  QString url;
  QString target;  // the file it was saved as, an absolute path
  bool completed = false;
  qint64 size = 0;     // bytes saved, when completed
  QString error;       // why it failed
  QString note;        // e.g. saved under another name
  qint64 endedMs = 0;  // when it ended (ms since the epoch); 0 when not known

  bool operator==(const DownloadRecord&) const = default;
};

// Most downloads kept; the oldest go first.
inline constexpr int kMaxKeptDownloads = 500;

// Newest first. Reading takes the file as it may be found (edited, cut
// short): entries that are not whole are skipped, and a file that is no
// list at all reads as none.
QByteArray encodeDownloadList(const QList<DownloadRecord>& records);
QList<DownloadRecord> decodeDownloadList(const QByteArray& bytes);

// The file: "downloads.json" in user_folders::data().
QString downloadListPath();
QList<DownloadRecord> readDownloadList(const QString& path);
// Replaces the file atomically; throws EInOutError when it cannot.
void writeDownloadList(const QString& path, const QList<DownloadRecord>& records);
