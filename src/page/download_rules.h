#pragma once

// The rules of downloading that both engines share: the name a download is
// offered under, the name it is written to while it runs, and how its size
// and speed read.
#include <QString>
#include <QtGlobal>
#include <deque>
#include <utility>

// The longest file name the usual Linux file systems take, in UTF-8 bytes.
inline constexpr int kMaxFileNameBytes = 255;

// The server's file name made safe to offer: only its last part, without
// control, format (bidirectional overrides and the like) and line separator
// characters, without leading dots, "~" and spaces (no hidden or home-looking
// files), without trailing dots and spaces, and short enough that NAME.part
// still fits (the extension kept). Failing that, the address's last part;
// failing that, "download".
QString downloadFileName(const QString& suggested, const QString& url);

// Where a running download is written before it takes path's name, so a
// half file never carries the real name. attempt 0 is NAME.part; later
// attempts (NAME.1.part, ...) are for a NAME.part that is already there.
QString partFileFor(const QString& path, int attempt = 0);
// Another name for a finished download whose own name was taken while it
// ran: "name (n).ext", within the file name limit.
QString freeNameFor(const QString& path, int n);

// Why a download the engine reports complete is not whole (empty when it
// is): the server announced a size (announced > 0) and less came.
QString incompleteDownloadReason(qint64 announced, qint64 received);

// Whom a download is counted against: the page's host and port (its scheme
// when it has no host), or the download address's when the page is unknown.
QString downloadSite(const QString& pageUrl, const QString& downloadUrl);

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
