#include "platform/shell_folders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>
#include <algorithm>
#include <cstring>

namespace shell {

QString desktopId() { return QStringLiteral("desktop"); }
QString drivesId() { return QStringLiteral("drives"); }

// ---- allocator ---------------------------------------------------------------

Malloc::~Malloc() {
  for (auto& [p, kind] : live_) {
    if (kind == Kind::Item)
      delete static_cast<ItemIdList*>(p);
    else
      delete[] static_cast<char*>(p);
  }
}

char* Malloc::Alloc(std::size_t size) {
  char* p = new char[size]();
  live_[p] = Kind::Buffer;
  return p;
}

PItemIDList Malloc::AllocItem(const QString& id) {
  auto* item = new ItemIdList{id};
  live_[item] = Kind::Item;
  return item;
}

void Malloc::Free(void* p) {
  const auto it = live_.find(p);
  if (it == live_.end()) return;
  if (it->second == Kind::Item)
    delete static_cast<ItemIdList*>(p);
  else
    delete[] static_cast<char*>(p);
  live_.erase(it);
}

// ---- the namespace -------------------------------------------------------------

namespace {

QString homeFolder() { return QDir::cleanPath(QDir::homePath()); }

QString configHome() { return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation); }
QString dataHome() { return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation); }

bool isHidden(const QFileInfo& fi) { return fi.fileName().startsWith(u'.'); }

}  // namespace

QString specialFolderId(int csidl) {
  switch (csidl) {
    case CSIDL_DRIVES:
      return drivesId();
    case CSIDL_DESKTOPDIRECTORY:
      return QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    case CSIDL_FAVORITES:
      return QDir::cleanPath(dataHome() + QStringLiteral("/bookmarks"));
    case CSIDL_PROGRAMS:
    case CSIDL_STARTMENU:
      return QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation));
    case CSIDL_RECENT:
      return QDir::cleanPath(dataHome() + QStringLiteral("/RecentDocuments"));
    case CSIDL_SENDTO:
      return QDir::cleanPath(configHome() + QStringLiteral("/sendto"));
    case CSIDL_STARTUP:
      return QDir::cleanPath(configHome() + QStringLiteral("/autostart"));
    case CSIDL_TEMPLATES:
      return QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::TemplatesLocation));
    case CSIDL_DESKTOP:
    default:
      return desktopId();
  }
}

std::optional<QString> parsePath(const QString& path) {
  if (path.isEmpty() || path.contains(QChar(u'\0')) || !QDir::isAbsolutePath(path)) return std::nullopt;
  const QString clean = QDir::cleanPath(path);
  const QFileInfo fi(clean);
  if (!fi.exists()) return std::nullopt;
  return clean;
}

bool isVirtual(const QString& id) { return id == desktopId() || id == drivesId(); }

bool isFolder(const QString& id) { return isVirtual(id) || (!id.isEmpty() && QFileInfo(id).isDir()); }

QStringList subfolders(const QString& id, bool withHidden) {
  QStringList out;
  if (id == desktopId()) {
    const QString home = homeFolder();
    out << home;
    const QString desk = specialFolderId(CSIDL_DESKTOPDIRECTORY);
    if (desk != home && QFileInfo(desk).isDir()) out << desk;
    out << drivesId();
    return out;
  }
  if (id == drivesId()) {
    QStringList mounts;
    for (const QStorageInfo& s : QStorageInfo::mountedVolumes()) {
      if (!s.isValid() || !s.isReady()) continue;
      const QString root = QDir::cleanPath(s.rootPath());
      if (!mounts.contains(root)) mounts << root;
    }
    if (!mounts.contains(QStringLiteral("/"))) mounts << QStringLiteral("/");
    std::sort(mounts.begin(), mounts.end());
    return mounts;
  }
  if (!isFolder(id)) return out;
  const QDir dir(id);
  for (const QFileInfo& fi :
       dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name | QDir::IgnoreCase)) {
    if (!withHidden && isHidden(fi)) continue;
    out << QDir::cleanPath(fi.absoluteFilePath());
  }
  return out;
}

bool hasSubfolders(const QString& id) {
  if (isVirtual(id)) return true;
  if (!isFolder(id)) return false;
  const QDir dir(id);
  for (const QFileInfo& fi : dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
    if (!isHidden(fi)) return true;
  return false;
}

QString displayName(const QString& id) {
  if (id == desktopId()) return QStringLiteral("デスクトップ");
  if (id == drivesId()) return QStringLiteral("コンピュータ");
  if (id == QLatin1String("/")) return id;
  const QString name = QFileInfo(id).fileName();
  return name.isEmpty() ? id : name;
}

bool okAllowed(const QString& id, unsigned flags) {
  if (id.isEmpty()) return false;
  if (flags & BIF_RETURNONLYFSDIRS) return !isVirtual(id);
  // Every item here is a folder with a path or one that holds such folders.
  return true;
}

bool isAncestor(const QString& ancestor, const QString& id) {
  if (ancestor == id || ancestor == desktopId()) return true;
  if (isVirtual(id)) return false;
  if (ancestor == drivesId()) return QDir::isAbsolutePath(id);
  if (ancestor == QLatin1String("/")) return id.startsWith(u'/');
  return id.startsWith(ancestor + u'/');
}

// ---- the service -------------------------------------------------------------------

namespace {
ShellFolders*& installed() {
  static ShellFolders* s = nullptr;
  return s;
}
}  // namespace

ShellFolders& ShellFolders::instance() {
  static ShellFolders standard;
  return installed() ? *installed() : standard;
}

void ShellFolders::setInstance(ShellFolders* service) { installed() = service; }

Malloc* ShellFolders::GetMalloc() { return &malloc_; }

bool ShellFolders::GetDesktopFolder() { return true; }

PItemIDList ShellFolders::ParseDisplayName(const QString& path) {
  Malloc* m = GetMalloc();
  const std::optional<QString> id = parsePath(path);
  if (!m || !id) return nullptr;
  return m->AllocItem(*id);
}

unsigned ShellFolders::GetAttributesOf(PItemIDList item, unsigned asked) {
  if (!item) return 0;
  unsigned has = 0;
  if (isFolder(item->id)) has |= SFGAO_FOLDER;
  if ((asked & SFGAO_HASSUBFOLDER) && hasSubfolders(item->id)) has |= SFGAO_HASSUBFOLDER;
  return asked & has;
}

PItemIDList ShellFolders::GetSpecialFolderLocation(int csidl) {
  Malloc* m = GetMalloc();
  if (!m) return nullptr;
  const QString id = specialFolderId(csidl);
  // A special folder that does not exist here has no location.
  if (!isVirtual(id) && !QFileInfo(id).isDir()) return nullptr;
  return m->AllocItem(id);
}

std::optional<QString> ShellFolders::GetPathFromIDList(PItemIDList item) {
  if (!item || isVirtual(item->id) || item->id.isEmpty()) return std::nullopt;
  return item->id;
}

}  // namespace shell
