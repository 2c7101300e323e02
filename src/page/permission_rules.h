#pragma once

// What a page may ask of the user (location, camera, notifications, ...),
// how each kind is named to the user and on the line to the WebKit host, and
// the answers remembered for the session, per site and kind. Nothing of it
// is written to disk.
#include <QHash>
#include <QString>
#include <optional>

enum class PermissionKind {
  Geolocation,
  Notifications,
  Camera,
  Microphone,
  CameraAndMicrophone,
  ScreenCapture,
  PointerLock,
  ClipboardRead,
  DeviceInfo,
  MediaKeySystem,
  StorageAccess,
};

// What a request gets: the user's yes or no, or no answer at all (the
// question was closed, withdrawn, or its window went), which the page
// takes as a no that it may ask again.
enum class PermissionAnswer { Allowed, Denied, Dismissed };

// The kind's name in the host protocol ("geolocation", "camera+microphone", ...).
QString permissionKindName(PermissionKind kind);
std::optional<PermissionKind> permissionKindFromName(const QString& name);

// What the site wants, as the question shows it ("現在地の取得").
QString permissionWhat(PermissionKind kind);
// The question: "SITE が次の許可を求めています: WHAT".
QString permissionQuestion(PermissionKind kind, const QString& site);

// The origin an answer is remembered for: scheme, host and port of the
// page's address ("https://example.org", "http://127.0.0.1:8080"). Empty
// for addresses that name no site.
QString permissionOrigin(const QString& address);

class PermissionMemory {
 public:
  // The answer the user gave this session, if any. Some kinds are never
  // asked of their own: they follow the answer to a related kind (the list
  // of cameras and microphones follows the camera or microphone answer, and
  // is refused when there is none).
  std::optional<bool> answer(const QString& origin, PermissionKind kind) const;
  // Whether the user is asked at all for this kind, or it is decided by answer().
  static bool asksUser(PermissionKind kind);
  // Whether an answer of this kind is kept for the session. The screen is
  // asked for every time: one yes must not let a site watch it again later.
  static bool remembers(PermissionKind kind);
  void remember(const QString& origin, PermissionKind kind, bool allowed);
  void clear() { answers_.clear(); }

 private:
  QHash<QString, bool> answers_;  // "origin kind" -> allowed
};
