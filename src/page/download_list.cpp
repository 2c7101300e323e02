#include "page/download_list.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "platform/atomic_file.h"
#include "platform/errors.h"
#include "platform/user_folders.h"

namespace {

// Far more than kMaxKeptDownloads entries take.
constexpr qint64 kMaxFileBytes = 8 << 20;

}  // namespace

QByteArray encodeDownloadList(const QList<DownloadRecord>& records) {
  QJsonArray list;
  for (const DownloadRecord& r : records.mid(0, kMaxKeptDownloads)) {
    QJsonObject o{{QStringLiteral("url"), r.url},
                  {QStringLiteral("target"), r.target},
                  {QStringLiteral("state"), r.completed ? QStringLiteral("completed") : QStringLiteral("failed")}};
    if (r.completed) o.insert(QStringLiteral("size"), r.size);
    if (!r.error.isEmpty()) o.insert(QStringLiteral("error"), r.error);
    if (!r.note.isEmpty()) o.insert(QStringLiteral("note"), r.note);
    if (r.endedMs > 0) o.insert(QStringLiteral("ended"), r.endedMs);
    list.append(o);
  }
  return QJsonDocument(list).toJson(QJsonDocument::Indented);
}

QList<DownloadRecord> decodeDownloadList(const QByteArray& bytes) {
  QList<DownloadRecord> out;
  const QJsonDocument doc = QJsonDocument::fromJson(bytes);
  for (const QJsonValue& v : doc.array()) {
    if (out.size() == kMaxKeptDownloads) break;
    const QJsonObject o = v.toObject();
    DownloadRecord r;
    r.url = o.value(QStringLiteral("url")).toString();
    r.target = o.value(QStringLiteral("target")).toString();
    const QString state = o.value(QStringLiteral("state")).toString();
    r.completed = state == QLatin1String("completed");
    const double size = o.value(QStringLiteral("size")).toDouble(0);
    r.size = size >= 0 && size < 9e15 ? static_cast<qint64>(size) : 0;
    r.error = o.value(QStringLiteral("error")).toString();
    r.note = o.value(QStringLiteral("note")).toString();
    const double ended = o.value(QStringLiteral("ended")).toDouble(0);
    r.endedMs = ended > 0 && ended < 9e15 ? static_cast<qint64>(ended) : 0;
    // A file only ever is saved under an absolute path.
    if (r.target.isEmpty() || !QDir::isAbsolutePath(r.target) || r.target.contains(QChar(0))) continue;
    if (!r.completed && state != QLatin1String("failed")) continue;
    out << r;
  }
  return out;
}

QString downloadListPath() { return user_folders::data() + QStringLiteral("/downloads.json"); }

QList<DownloadRecord> readDownloadList(const QString& path) {
  QByteArray bytes;
  if (readRegularFile(path, &bytes, kMaxFileBytes) != FileRead::Ok) return {};
  return decodeDownloadList(bytes);
}

void writeDownloadList(const QString& path, const QList<DownloadRecord>& records) {
  QString error;
  if (!atomicReplaceFile(path, encodeDownloadList(records), &error))
    throw EInOutError(QStringLiteral("ダウンロードの一覧を保存できません (%1)").arg(error));
}
