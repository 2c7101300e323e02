#include "platform/shell_folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

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

// ---- paths as bytes -----------------------------------------------------------

namespace {
constexpr char16_t kByteBase = 0xEF00;  // U+EF80..U+EFFF stand for the bytes 0x80..0xFF
bool isByteChar(char16_t c) { return c >= 0xEF80 && c <= 0xEFFF; }
}  // namespace

QString decodePath(const QByteArray& bytes) {
  QString out;
  out.reserve(bytes.size());
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
  const qsizetype n = bytes.size();
  for (qsizetype i = 0; i < n;) {
    const unsigned c = p[i];
    if (c < 0x80) {
      out += QChar(char16_t(c));
      ++i;
      continue;
    }
    int len = 0;
    char32_t cp = 0, least = 0;
    if (c >= 0xC2 && c <= 0xDF)
      len = 2, cp = c & 0x1F, least = 0x80;
    else if (c >= 0xE0 && c <= 0xEF)
      len = 3, cp = c & 0x0F, least = 0x800;
    else if (c >= 0xF0 && c <= 0xF4)
      len = 4, cp = c & 0x07, least = 0x10000;
    bool ok = len > 0 && i + len <= n;
    for (int k = 1; ok && k < len; ++k) {
      ok = (p[i + k] & 0xC0) == 0x80;
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    ok = ok && cp >= least && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF) && !isByteChar(char16_t(cp));
    if (!ok) {
      out += QChar(char16_t(kByteBase + c));
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      out += QChar(QChar::highSurrogate(cp));
      out += QChar(QChar::lowSurrogate(cp));
    } else {
      out += QChar(char16_t(cp));
    }
    i += len;
  }
  return out;
}

QByteArray encodePath(const QString& path) {
  QByteArray out;
  out.reserve(path.size());
  for (qsizetype i = 0; i < path.size();) {
    if (isByteChar(path[i].unicode())) {
      out += char(path[i].unicode() - kByteBase);
      ++i;
      continue;
    }
    qsizetype j = i;
    while (j < path.size() && !isByteChar(path[j].unicode())) ++j;
    out += QStringView(path).mid(i, j - i).toUtf8();
    i = j;
  }
  return out;
}

QString displayPath(const QString& path) {
  QString out = path;
  for (QChar& c : out)
    if (isByteChar(c.unicode())) c = QChar::ReplacementCharacter;
  return out;
}

// ---- the namespace -------------------------------------------------------------

namespace {

QString homeFolder() {
  const QByteArray home = qgetenv("HOME");
  return QDir::cleanPath(home.startsWith('/') ? decodePath(home) : QDir::homePath());
}

QString configHome() { return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation); }
QString dataHome() { return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation); }

bool statIs(const QByteArray& path, mode_t kind) {
  struct stat st {};
  return ::stat(path.constData(), &st) == 0 && (st.st_mode & S_IFMT) == kind;
}

bool isDirEntry(int dirFd, const struct dirent* e) {
  if (e->d_type == DT_DIR) return true;
  if (e->d_type != DT_LNK && e->d_type != DT_UNKNOWN) return false;
  struct stat st {};
  return ::fstatat(dirFd, e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

// Calls `take` with the name of every folder in `id` (hidden ones only
// `withHidden`) until it returns false.
template <typename Take>
void eachFolderIn(const QString& id, bool withHidden, Take take) {
  DIR* dir = ::opendir(encodePath(id).constData());
  if (!dir) return;
  const int fd = ::dirfd(dir);
  while (const struct dirent* e = ::readdir(dir)) {
    const char* name = e->d_name;
    if (name[0] == '.' && (!withHidden || name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
    if (isDirEntry(fd, e) && !take(QByteArray(name))) break;
  }
  ::closedir(dir);
}

QString childOf(const QString& folder, const QString& name) {
  return folder == QLatin1String("/") ? folder + name : folder + u'/' + name;
}

bool under(const QString& path, QLatin1String top) {
  return path == top || (path.startsWith(top) && path.size() > top.size() && path[top.size()] == u'/');
}

// What a mount table line says: where, and which kind of file system.
struct Mount {
  QString dir;
  QByteArray type;
};

QByteArray unescapeMountField(const QByteArray& field) {
  QByteArray out;
  for (qsizetype i = 0; i < field.size(); ++i) {
    const auto octal = [&](qsizetype k) { return k < field.size() && field[k] >= '0' && field[k] <= '7'; };
    if (field[i] == '\\' && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
      out += char(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

bool isPseudoFileSystem(const QByteArray& type) {
  static const char* const pseudo[] = {"autofs",     "binfmt_misc", "bpf",       "cgroup",   "cgroup2", "configfs",
                                       "debugfs",    "devpts",      "devtmpfs",  "efivarfs", "fusectl", "fuse.portal",
                                       "hugetlbfs",  "mqueue",      "nsfs",      "proc",     "pstore",  "rootfs",
                                       "rpc_pipefs", "securityfs",  "selinuxfs", "sysfs",    "tracefs"};
  return std::any_of(std::begin(pseudo), std::end(pseudo), [&](const char* t) { return type == t; });
}

// Network and user-space file systems: asking them anything may hang.
bool isRemoteFileSystem(const QByteArray& type) {
  static const char* const remote[] = {"9p",     "afs",   "ceph", "cifs", "davfs", "glusterfs",
                                       "lustre", "ncpfs", "nfs",  "nfs4", "smb3",  "smbfs"};
  return type.startsWith("fuse") ||
         std::any_of(std::begin(remote), std::end(remote), [&](const char* t) { return type == t; });
}

std::vector<Mount> mountsIn(const QByteArray& table) {
  std::vector<Mount> out;
  for (const QByteArray& line : table.split('\n')) {
    const QList<QByteArray> f = line.simplified().split(' ');
    if (f.size() < 3 || isPseudoFileSystem(f[2])) continue;
    const QString dir = QDir::cleanPath(decodePath(unescapeMountField(f[1])));
    if (!dir.startsWith(u'/')) continue;
    // The system's own mounts; removable media and user-space mounts under
    // /run stay.
    if (under(dir, QLatin1String("/dev")) || under(dir, QLatin1String("/proc")) || under(dir, QLatin1String("/sys")) ||
        under(dir, QLatin1String("/var/run")) || under(dir, QLatin1String("/var/lock")) ||
        under(dir, QLatin1String("/snap")))
      continue;
    if (under(dir, QLatin1String("/run")) && !under(dir, QLatin1String("/run/media")) && !f[2].startsWith("fuse"))
      continue;
    out.push_back({dir, f[2]});
  }
  return out;
}

QByteArray readMountTable() {
  QByteArray table;
  const int fd = ::open("/proc/self/mounts", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return table;
  char buf[16384];
  for (;;) {
    const ssize_t r = ::read(fd, buf, sizeof buf);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    table.append(buf, r);
  }
  ::close(fd);
  return table;
}

QStringList sortedMountPoints(const std::vector<Mount>& mounts, bool checkLocal) {
  QStringList out;
  for (const Mount& m : mounts) {
    if (out.contains(m.dir)) continue;
    if (checkLocal && !isRemoteFileSystem(m.type) && !statIs(encodePath(m.dir), S_IFDIR)) continue;
    out << m.dir;
  }
  if (!out.contains(QStringLiteral("/"))) out << QStringLiteral("/");
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

QStringList mountPointsIn(const QByteArray& table) { return sortedMountPoints(mountsIn(table), false); }

QStringList mountPoints(bool checkLocal) { return sortedMountPoints(mountsIn(readMountTable()), checkLocal); }

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
  struct stat st {};
  if (::stat(encodePath(clean).constData(), &st) != 0) return std::nullopt;
  return clean;
}

bool isVirtual(const QString& id) { return id == desktopId() || id == drivesId(); }

bool isFolder(const QString& id) { return isVirtual(id) || (!id.isEmpty() && statIs(encodePath(id), S_IFDIR)); }

namespace {
QStringList desktopItems(bool onlyExisting) {
  const QString home = homeFolder();
  QStringList out{home};
  const QString desk = specialFolderId(CSIDL_DESKTOPDIRECTORY);
  if (desk != home && (!onlyExisting || isFolder(desk))) out << desk;
  out << drivesId();
  return out;
}
}  // namespace

QStringList subfolders(const QString& id, bool withHidden) {
  if (id == desktopId()) return desktopItems(true);
  if (id == drivesId()) return mountPoints(true);
  QStringList names;
  eachFolderIn(id, withHidden, [&](const QByteArray& name) {
    names << decodePath(name);
    return true;
  });
  std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
  });
  QStringList out;
  for (const QString& name : names) out << childOf(id, name);
  return out;
}

bool hasSubfolders(const QString& id) {
  if (isVirtual(id)) return true;
  bool found = false;
  eachFolderIn(id, false, [&](const QByteArray&) { return !(found = true); });
  return found;
}

QString displayName(const QString& id) {
  if (id == desktopId()) return QStringLiteral("デスクトップ");
  if (id == drivesId()) return QStringLiteral("コンピュータ");
  if (id == QLatin1String("/")) return id;
  const QString name = id.section(u'/', -1);
  return displayPath(name.isEmpty() ? id : name);
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

QString closestAncestor(const QStringList& candidates, const QString& id) {
  QString best;
  qsizetype rank = -2;
  for (const QString& c : candidates) {
    if (c.isEmpty() || !isAncestor(c, id)) continue;
    const qsizetype r = isVirtual(c) ? -1 : c.size();
    if (r > rank) best = c, rank = r;
  }
  return best;
}

QString stepToward(const QString& from, const QString& id) {
  if (from == id || !isAncestor(from, id)) return {};
  if (from == desktopId()) return closestAncestor(desktopItems(false), id);
  if (from == drivesId()) return closestAncestor(mountPoints(false), id);
  const QString base = childOf(from, QString());
  const QString next = id.mid(base.size()).section(u'/', 0, 0);
  return next.isEmpty() ? QString() : base + next;
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

FolderReader ShellFolders::Reader() {
  return [](const QString& id, bool withHidden) { return subfolders(id, withHidden); };
}

// ---- reading off the caller's thread -----------------------------------------------

FolderReads::FolderReads(FolderReader reader, Done done)
    : reader_(std::move(reader)), shared_(std::make_shared<Shared>()) {
  shared_->done = std::move(done);
}

FolderReads::~FolderReads() {
  const std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->done = nullptr;
}

void FolderReads::start(const QString& id, bool withHidden) {
  auto read = [reader = reader_, shared = shared_, id, withHidden] {
    QStringList listed;
    // A read that fails finds no folders; reads never fail.
    try {
      if (reader) listed = reader(id, withHidden);
    } catch (...) {
      listed.clear();
    }
    const std::lock_guard<std::mutex> lock(shared->mutex);
    if (shared->done) shared->done(id, withHidden, listed);
  };
  try {
    std::thread(read).detach();
  } catch (const std::system_error&) {
    // No thread to be had: the folder shows as empty rather than hang here.
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    if (shared_->done) shared_->done(id, withHidden, {});
  }
}

}  // namespace shell
