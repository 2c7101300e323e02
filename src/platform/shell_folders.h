#pragma once

#include <QString>
#include <QStringList>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

// The shell-folder service the folder chooser is written against.
//
// An item id names one item of the namespace: an absolute path, or one of
// the two virtual roots "desktop" (the top of the namespace: the home
// folder, the desktop folder and the computer) and "drives" (the computer:
// the mounted file systems). Item ids and buffers come from the service's
// allocator and go back to it; it counts what is still out, so a caller that
// forgets to free shows up.
namespace shell {

constexpr int CSIDL_DESKTOP = 0;
constexpr int CSIDL_PROGRAMS = 2;
constexpr int CSIDL_FAVORITES = 6;
constexpr int CSIDL_STARTUP = 7;
constexpr int CSIDL_RECENT = 8;
constexpr int CSIDL_SENDTO = 9;
constexpr int CSIDL_STARTMENU = 11;
constexpr int CSIDL_DESKTOPDIRECTORY = 16;
constexpr int CSIDL_DRIVES = 17;
constexpr int CSIDL_TEMPLATES = 21;

constexpr unsigned SFGAO_FOLDER = 0x20000000u;
constexpr unsigned SFGAO_HASSUBFOLDER = 0x80000000u;

constexpr unsigned BIF_RETURNONLYFSDIRS = 1;
constexpr unsigned BIF_DONTGOBELOWDOMAIN = 2;
constexpr unsigned BIF_STATUSTEXT = 4;
constexpr unsigned BIF_RETURNFSANCESTORS = 8;

// The ids of the two virtual roots.
QString desktopId();
QString drivesId();

struct ItemIdList {
  QString id;
};
using PItemIDList = ItemIdList*;

// The allocator of item ids and buffers.
class Malloc {
 public:
  // A zeroed buffer of `size` bytes, or nullptr.
  virtual char* Alloc(std::size_t size);
  PItemIDList AllocItem(const QString& id);
  // Frees an item id or a buffer of this allocator; nullptr and pointers it
  // never handed out are ignored.
  virtual void Free(void* p);
  int liveCount() const { return static_cast<int>(live_.size()); }
  virtual ~Malloc();

 private:
  enum class Kind { Buffer, Item };
  std::map<void*, Kind> live_;
};

// Lists the folders shown under an item (see subfolders below).
using FolderReader = std::function<QStringList(const QString& id, bool withHidden)>;

// The service. Its operations are virtual so that a test can make one fail.
class ShellFolders {
 public:
  virtual ~ShellFolders() = default;

  // The process's service (tests may put their own in place; nullptr
  // restores the default one).
  static ShellFolders& instance();
  static void setInstance(ShellFolders* service);

  // The allocator; nullptr when there is none.
  virtual Malloc* GetMalloc();
  // Whether the namespace root can be had.
  virtual bool GetDesktopFolder();
  // Item id of an absolute path that exists, else nullptr.
  virtual PItemIDList ParseDisplayName(const QString& path);
  // `asked` narrowed to the attributes the item has.
  virtual unsigned GetAttributesOf(PItemIDList item, unsigned asked);
  // Item id of a special folder, nullptr when it has no folder here.
  virtual PItemIDList GetSpecialFolderLocation(int csidl);
  // File-system path of an item; none for the virtual roots.
  virtual std::optional<QString> GetPathFromIDList(PItemIDList item);
  // What lists an item's folders; it runs on threads of its own, so it
  // must not use the service object (a test may stand in a slow one).
  virtual FolderReader Reader();

 private:
  Malloc malloc_;
};

// ---- paths as the system's bytes --------------------------------------------

// A path's bytes as text and back without loss, also for names that are no
// valid UTF-8 (made on another system, or in Shift_JIS): valid UTF-8 decodes
// as usual, every other byte b becomes the character U+EF00 + b. The
// characters U+EF80..U+EFFF are kept for that, so one that a name really
// holds is taken apart into its bytes the same way.
QString decodePath(const QByteArray& bytes);
QByteArray encodePath(const QString& path);
// A path or name as the user reads it: the bytes that are no text as U+FFFD.
QString displayPath(const QString& path);

// ---- the namespace as plain functions over ids ----------------------------

// The folder a special folder lives in on this system, whether or not it
// exists; the virtual roots for the desktop and the computer.
QString specialFolderId(int csidl);
// The id of an absolute path to something that exists, cleaned
// ("/a/b/../c/" -> "/a/c"); none for empty, relative, NUL-carrying or
// missing names.
std::optional<QString> parsePath(const QString& path);
bool isVirtual(const QString& id);
bool isFolder(const QString& id);
// Whether listing the item would show at least one folder (unreadable
// folders have none as far as anyone can tell).
bool hasSubfolders(const QString& id);
// The folders shown under an item, in display order: for the desktop the
// home folder, the desktop folder and the computer; for the computer the
// mounted file systems; for a folder its sub-folders, hidden ones left out.
// With `withHidden`, folders whose names start with a dot are listed too.
QStringList subfolders(const QString& id, bool withHidden = false);
QString displayName(const QString& id);
// Whether OK may take the item under the browse flags: with
// BIF_RETURNONLYFSDIRS only folders with a file-system path; with
// BIF_RETURNFSANCESTORS also the items that hold such folders (the desktop
// and the computer); with neither, any item.
bool okAllowed(const QString& id, unsigned flags);
// Whether `ancestor` lies on the way from the namespace root to `id`
// (an item is its own ancestor).
bool isAncestor(const QString& ancestor, const QString& id);
// Of `candidates`, the one that holds `id` most closely (a folder before
// the computer); empty when none holds it.
QString closestAncestor(const QStringList& candidates, const QString& id);
// The item under `from` on the way to `id`, found without touching the
// disk: the folder one level deeper, or for the virtual roots the closest of
// what they list; empty when `from` does not hold `id`.
QString stepToward(const QString& from, const QString& id);

// The mount points a mount table (the text of /proc/self/mounts) lists that
// a user may want to browse, sorted, "/" always among them. Nothing is asked
// of the mounts themselves, so a hung one cannot hold the list up.
QStringList mountPointsIn(const QByteArray& table);
// The mounted file systems of this system; with `checkLocal`, local mounts
// that are no folder (a file mounted over a file) are left out too.
QStringList mountPoints(bool checkLocal = true);

// Reads listings on threads of their own, one per read, so a folder whose
// file system hangs keeps only its own read waiting and nobody waits for it.
// `done` is called on the reading thread; once the object is gone it is
// never called again, and a read still running is left to finish unheard.
class FolderReads {
 public:
  using Done = std::function<void(const QString& id, bool withHidden, const QStringList& listed)>;
  FolderReads(FolderReader reader, Done done);
  ~FolderReads();
  FolderReads(const FolderReads&) = delete;
  FolderReads& operator=(const FolderReads&) = delete;

  void start(const QString& id, bool withHidden);

 private:
  struct Shared {
    std::mutex mutex;
    Done done;
  };
  FolderReader reader_;
  std::shared_ptr<Shared> shared_;
};

}  // namespace shell
