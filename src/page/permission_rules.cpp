#include "page/permission_rules.h"

#include <QDateTime>
#include <QUrl>
#include <array>

#include "platform/atomic_file.h"
#include "platform/errors.h"

namespace {

struct KindText {
  PermissionKind kind;
  const char* name;
  const char* what;
};

const std::array<KindText, 11> kKinds = {{
    {PermissionKind::Geolocation, "geolocation", "現在地の取得"},
    {PermissionKind::Notifications, "notifications", "通知の表示"},
    {PermissionKind::Camera, "camera", "カメラの使用"},
    {PermissionKind::Microphone, "microphone", "マイクの使用"},
    {PermissionKind::CameraAndMicrophone, "camera+microphone", "カメラとマイクの使用"},
    {PermissionKind::ScreenCapture, "screen", "画面の共有"},
    {PermissionKind::PointerLock, "pointer-lock", "マウス ポインターの固定と非表示"},
    {PermissionKind::ClipboardRead, "clipboard-read", "クリップボードの内容の読み取り"},
    {PermissionKind::DeviceInfo, "device-info", "接続されたカメラとマイクの一覧"},
    {PermissionKind::MediaKeySystem, "media-keys", "保護されたコンテンツの再生"},
    {PermissionKind::StorageAccess, "storage-access", "他のサイトの中での Cookie とデータの使用"},
}};

const KindText& textOf(PermissionKind kind) {
  for (const KindText& k : kKinds)
    if (k.kind == kind) return k;
  return kKinds[0];
}

QString key(const QString& origin, PermissionKind kind) { return origin + u' ' + QLatin1String(textOf(kind).name); }

}  // namespace

QString permissionKindName(PermissionKind kind) { return QLatin1String(textOf(kind).name); }

std::optional<PermissionKind> permissionKindFromName(const QString& name) {
  for (const KindText& k : kKinds)
    if (name == QLatin1String(k.name)) return k.kind;
  return std::nullopt;
}

QString permissionWhat(PermissionKind kind) { return QString::fromUtf8(textOf(kind).what); }

QString permissionQuestion(PermissionKind kind, const QString& site) {
  const QString who = site.isEmpty() ? QStringLiteral("このページ") : site;
  return QStringLiteral("%1 が次の許可を求めています:\n%2").arg(who, permissionWhat(kind));
}

QString permissionOrigin(const QString& address) {
  const QUrl url(address);
  if (!url.isValid() || url.host().isEmpty()) {
    // file: pages share one origin per scheme; anything else names no site.
    return url.scheme() == QLatin1String("file") ? QStringLiteral("file://") : QString();
  }
  QString origin = url.scheme().toLower() + QStringLiteral("://") + url.host(QUrl::FullyEncoded).toLower();
  if (url.port() >= 0) origin += u':' + QString::number(url.port());
  return origin;
}

bool PermissionMemory::asksUser(PermissionKind kind) { return kind != PermissionKind::DeviceInfo; }

bool PermissionMemory::remembers(PermissionKind kind) { return kind != PermissionKind::ScreenCapture; }

std::optional<bool> PermissionMemory::answer(const QString& origin, PermissionKind kind) const {
  auto lookup = [&](PermissionKind k) -> std::optional<bool> {
    auto it = answers_.constFind(key(origin, k));
    if (it != answers_.constEnd()) return it->allowed;
    for (const Kept& e : kept_)
      if (e.origin == origin && e.kind == k) return e.allowed;
    return std::nullopt;
  };
  if (kind == PermissionKind::DeviceInfo) {
    for (PermissionKind media :
         {PermissionKind::Camera, PermissionKind::Microphone, PermissionKind::CameraAndMicrophone})
      if (lookup(media).value_or(false)) return true;
    return false;
  }
  return lookup(kind);
}

void PermissionMemory::remember(const QString& origin, PermissionKind kind, bool allowed, bool always, qint64 nowMs) {
  if (origin.isEmpty() || !remembers(kind)) return;  // nothing names the site again, or asked each time
  if (nowMs <= 0) nowMs = QDateTime::currentMSecsSinceEpoch();
  if (always) return keep(origin, kind, allowed, nowMs);
  answers_.insert(key(origin, kind), {allowed, nowMs});
}

QList<PermissionMemory::Kept> PermissionMemory::kept() const { return kept_; }

void PermissionMemory::keep(const QString& origin, PermissionKind kind, bool allowed, qint64 nowMs) {
  if (origin.isEmpty() || !remembers(kind)) return;
  if (nowMs <= 0) nowMs = QDateTime::currentMSecsSinceEpoch();
  answers_.remove(key(origin, kind));
  QList<Kept> next = kept_;
  next.removeIf([&](const Kept& e) { return e.origin == origin && e.kind == kind; });
  next.append({origin, kind, allowed, nowMs});
  setKept(next);
}

void PermissionMemory::setKept(const QList<Kept>& next) {
  // Saved first: a file that cannot be written keeps the answers as they were.
  save(next);
  kept_ = next;
}

void PermissionMemory::forget(const QString& origin, PermissionKind kind) {
  answers_.remove(key(origin, kind));
  QList<Kept> next = kept_;
  next.removeIf([&](const Kept& e) { return e.origin == origin && e.kind == kind; });
  setKept(next);
}

void PermissionMemory::forgetFrom(qint64 sinceMs) {
  answers_.removeIf([&](const auto& it) { return it.value().whenMs >= sinceMs; });
  QList<Kept> next = kept_;
  next.removeIf([&](const Kept& e) { return e.whenMs >= sinceMs; });
  setKept(next);
}

void PermissionMemory::setFile(const QString& path) {
  file_ = path;
  kept_.clear();
  QByteArray bytes;
  if (!path.isEmpty() && readRegularFile(path, &bytes, kMaxFileBytes) == FileRead::Ok) kept_ = decode(bytes);
}

void PermissionMemory::save(const QList<Kept>& list) const {
  if (file_.isEmpty()) return;
  QString why;
  if (!atomicReplaceFile(file_, encode(list), &why))
    throw EInOutError(QStringLiteral("%1 に書き込めません (%2)").arg(file_, why));
}

QByteArray PermissionMemory::encode(const QList<Kept>& list) {
  QByteArray out;
  for (const Kept& e : list)
    out += e.origin.toUtf8() + '\t' + permissionKindName(e.kind).toUtf8() + '\t' + (e.allowed ? "allow" : "block") +
           '\t' + QByteArray::number(e.whenMs) + '\n';
  return out;
}

QList<PermissionMemory::Kept> PermissionMemory::decode(const QByteArray& text) {
  QList<Kept> out;
  for (QByteArray line : text.split('\n')) {
    if (line.endsWith('\r')) line.chop(1);  // a file edited elsewhere
    const QList<QByteArray> f = line.split('\t');
    if (f.size() != 4) continue;
    const QString origin = QString::fromUtf8(f[0]);
    // Only an origin as the program writes it names a site again.
    if (origin.isEmpty() || permissionOrigin(origin) != origin) continue;
    const std::optional<PermissionKind> kind = permissionKindFromName(QString::fromUtf8(f[1]));
    if (!kind || !remembers(*kind) || !asksUser(*kind)) continue;
    if (f[2] != "allow" && f[2] != "block") continue;
    out.removeIf([&](const Kept& e) { return e.origin == origin && e.kind == *kind; });
    bool number = false;
    const qint64 when = f[3].toLongLong(&number);
    if (!number || when < 0) continue;
    out.append({origin, *kind, f[2] == "allow", when});
  }
  return out;
}
