#include "page/permission_rules.h"

#include <QUrl>
#include <array>

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
  if (kind == PermissionKind::DeviceInfo) {
    for (PermissionKind media :
         {PermissionKind::Camera, PermissionKind::Microphone, PermissionKind::CameraAndMicrophone})
      if (answers_.value(key(origin, media), false)) return true;
    return false;
  }
  auto it = answers_.constFind(key(origin, kind));
  if (it == answers_.constEnd()) return std::nullopt;
  return *it;
}

void PermissionMemory::remember(const QString& origin, PermissionKind kind, bool allowed) {
  if (origin.isEmpty() || !remembers(kind)) return;  // nothing names the site again, or asked each time
  answers_.insert(key(origin, kind), allowed);
}
