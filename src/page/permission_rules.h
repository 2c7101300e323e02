#pragma once

// What a page may ask of the user (location, camera, notifications, ...),
// how each kind is named to the user and on the line to the WebKit host, and
// the answers remembered per site and kind: for the session, or for good
// when the user asks for it (kept in a file of the user's data folder).
#include <QByteArray>
#include <QHash>
#include <QList>
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
  // always: kept in the file too (when one is set), and used after a
  // restart. nowMs: when it was given (0: now).
  void remember(const QString& origin, PermissionKind kind, bool allowed, bool always = false, qint64 nowMs = 0);
  // Forgets the answers of this session; those kept for good stay.
  void clear() { answers_.clear(); }

  // The answers kept for good, as the site settings list them.
  struct Kept {
    QString origin;
    PermissionKind kind;
    bool allowed;
    qint64 whenMs = 0;  // when it was given or last changed
    bool operator==(const Kept&) const = default;
  };
  QList<Kept> kept() const;
  // Changes or removes a kept answer (and the session's one of it); saved at once.
  void keep(const QString& origin, PermissionKind kind, bool allowed, qint64 nowMs = 0);
  void forget(const QString& origin, PermissionKind kind);
  // Forgets every answer, kept or not, given from sinceMs on (0: all).
  void forgetFrom(qint64 sinceMs);

  // Reads the kept answers from path and saves them there from now on
  // (empty: kept in memory only). A file that cannot be read keeps nothing.
  void setFile(const QString& path);
  const QString& file() const { return file_; }

  // The file's text: one "origin<TAB>kind<TAB>allow|block<TAB>ms" line per answer.
  // The reader takes what a page or another program may have put there:
  // lines it does not understand, origins that are no origin and kinds it
  // does not know are skipped.
  static QByteArray encode(const QList<Kept>& list);
  static QList<Kept> decode(const QByteArray& text);
  static constexpr qint64 kMaxFileBytes = 4 << 20;

 private:
  void setKept(const QList<Kept>& next);
  void save(const QList<Kept>& list) const;
  struct Given {
    bool allowed;
    qint64 whenMs;
  };
  QHash<QString, Given> answers_;  // "origin kind" -> the answer
  QList<Kept> kept_;
  QString file_;
};
