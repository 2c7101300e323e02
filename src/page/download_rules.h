#pragma once

// The rules of downloading that both engines share: the name a download is
// offered under, the name it is written to while it runs, and how its size
// and speed read.
#include <QString>
#include <QtGlobal>
#include <deque>
#include <utility>

// The server's file name, unchanged but for what cannot stand in a file
// name (folders, control characters); failing that, the address's last part.
QString downloadFileName(const QString& suggested, const QString& url);

// A running download is written here and renamed to path when complete,
// so a half file never carries the real name.
QString partFileFor(const QString& path);

// "512 バイト", "1.5 KB", "3.2 MB", "1.1 GB".
QString sizeText(qint64 bytes);
// "1.5 MB / 3.2 MB、120 KB/秒" while running (total < 0: unknown).
QString progressText(qint64 received, qint64 total, qint64 bytesPerSecond);
// 0..100, or -1 when the total is unknown.
int progressPercent(qint64 received, qint64 total);

// Speed over the last few seconds of samples.
class SpeedMeter {
 public:
  static constexpr qint64 kWindowMs = 3000;
  void sample(qint64 nowMs, qint64 bytes);
  qint64 bytesPerSecond() const;

 private:
  std::deque<std::pair<qint64, qint64>> samples_;
};
