#include "page/download_rules.h"

#include <QUrl>

QString downloadFileName(const QString& suggested, const QString& url) {
  auto clean = [](QString name) {
    // Only the last part of a path: a name never leads into another folder.
    name = name.mid(qMax(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\')) + 1);
    QString out;
    for (QChar c : name)
      if (c.unicode() >= 0x20 && c.unicode() != 0x7F) out += c;
    return out == u"." || out == u".." ? QString() : out;
  };
  QString name = clean(suggested);
  if (name.trimmed().isEmpty()) name = clean(QUrl(url).fileName());
  if (name.trimmed().isEmpty()) name = QStringLiteral("download");
  return name;
}

QString partFileFor(const QString& path) { return path + QStringLiteral(".part"); }

QString sizeText(qint64 bytes) {
  if (bytes < 0) bytes = 0;
  if (bytes < 1024) return QStringLiteral("%1 バイト").arg(bytes);
  static const char* units[] = {"KB", "MB", "GB", "TB"};
  double v = static_cast<double>(bytes);
  int u = -1;
  do {
    v /= 1024.0;
    ++u;
  } while (v >= 1024.0 && u < 3);
  return QStringLiteral("%1 %2").arg(QString::number(v, 'f', v < 10 ? 1 : 0), QLatin1String(units[u]));
}

QString progressText(qint64 received, qint64 total, qint64 bytesPerSecond) {
  QString text = total > 0 ? QStringLiteral("%1 / %2").arg(sizeText(received), sizeText(total)) : sizeText(received);
  if (bytesPerSecond > 0) text += QStringLiteral("、%1/秒").arg(sizeText(bytesPerSecond));
  return text;
}

int progressPercent(qint64 received, qint64 total) {
  if (total <= 0) return -1;
  if (received >= total) return 100;
  return static_cast<int>(received * 100 / total);
}

void SpeedMeter::sample(qint64 nowMs, qint64 bytes) {
  samples_.emplace_back(nowMs, bytes);
  while (samples_.size() > 2 && nowMs - samples_.front().first > kWindowMs) samples_.pop_front();
}

qint64 SpeedMeter::bytesPerSecond() const {
  if (samples_.size() < 2) return 0;
  const auto& [t0, b0] = samples_.front();
  const auto& [t1, b1] = samples_.back();
  if (t1 <= t0 || b1 <= b0) return 0;
  return (b1 - b0) * 1000 / (t1 - t0);
}
