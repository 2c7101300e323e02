#include "platform/atomic_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>

namespace {

// ---- paths, as the bytes the system takes ------------------------------

QByteArray folderOf(const QByteArray& p) {
  const qsizetype slash = p.lastIndexOf('/');
  if (slash < 0) return ".";
  if (slash == 0) return "/";
  return p.left(slash);
}

QByteArray baseOf(const QByteArray& p) { return p.mid(p.lastIndexOf('/') + 1); }

// Beside the file: the new content while it is written (incomplete, thrown
// away after a crash), and the journal of an in-place rewrite (the contents
// before and after, used after a crash). Only one copy writes them at a
// time: FileLock.
QByteArray tempName(const QByteArray& target) { return folderOf(target) + "/." + baseOf(target) + ".tmp"; }
QByteArray journalName(const QByteArray& target) { return folderOf(target) + "/." + baseOf(target) + ".new"; }

QByteArray resolve(const QByteArray& path, int* err) {
  QByteArray p = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(p.constData(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(p.constData(), buf, sizeof buf);
    if (n <= 0) return p;
    QByteArray next(buf, n);
    if (!next.startsWith('/')) next = folderOf(p) + '/' + next;
    p = next;
  }
  if (err) *err = ELOOP;
  return p;
}

bool writeAll(int fd, const char* p, qsizetype n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, static_cast<size_t>(n));
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= w;
  }
  return true;
}

// Reads to the end; more than `limit` bytes (when not negative) fail with
// EFBIG, so a file that grows while it is read is not followed forever.
bool readAllFd(int fd, QByteArray* out, qsizetype hint, qint64 limit = -1) {
  QByteArray data;
  data.reserve(hint + 1);
  char buf[65536];
  for (;;) {
    const ssize_t r = ::read(fd, buf, sizeof buf);
    if (r < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (r == 0) break;
    data.append(buf, r);
    if (limit >= 0 && data.size() > limit) {
      errno = EFBIG;
      return false;
    }
  }
  *out = std::move(data);
  return true;
}

void syncFolder(const QByteArray& folder) {
  const int dfd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
}

// Writes `data` over the file `fd` from its start and cuts it to that size.
// Room is taken first, so a full disk fails before a byte is changed.
int overwriteInPlace(int fd, const QByteArray& data) {
  const int rc = ::posix_fallocate(fd, 0, data.isEmpty() ? 1 : data.size());
  if (rc != 0 && rc != EOPNOTSUPP && rc != EINVAL) return rc;
  if (::lseek(fd, 0, SEEK_SET) != 0) return errno;
  if (!writeAll(fd, data.constData(), data.size())) return errno;
  if (::ftruncate(fd, data.size()) != 0) return errno;
  if (::fsync(fd) != 0) return errno;
  return 0;
}

const QByteArray kJournalMagic = "zelvo in-place rewrite 1\n";

QByteArray journalOf(const QByteArray& before, const QByteArray& after) {
  return kJournalMagic + QByteArray::number(before.size()) + ' ' + QByteArray::number(after.size()) + '\n' + before +
         after;
}

bool parseJournal(const QByteArray& journal, QByteArray* before, QByteArray* after) {
  if (!journal.startsWith(kJournalMagic)) return false;
  const qsizetype line = journal.indexOf('\n', kJournalMagic.size());
  if (line < 0) return false;
  const QList<QByteArray> sizes = journal.mid(kJournalMagic.size(), line - kJournalMagic.size()).split(' ');
  bool ok1 = false, ok2 = false;
  const qsizetype b = sizes.size() == 2 ? sizes[0].toLongLong(&ok1) : -1;
  const qsizetype a = sizes.size() == 2 ? sizes[1].toLongLong(&ok2) : -1;
  if (!ok1 || !ok2 || b < 0 || a < 0 || journal.size() - line - 1 != b + a) return false;
  *before = journal.mid(line + 1, b);
  *after = journal.mid(line + 1 + b, a);
  return true;
}

// Whether `now` is what writing `after` from the start over `before`, cut
// off anywhere, leaves: every byte the new one or the old one (or zero past
// the old end, where room was taken first), at the old size or the larger.
bool isTornRewrite(const QByteArray& now, const QByteArray& before, const QByteArray& after) {
  const qsizetype o = before.size(), n = after.size();
  if (now.size() != o && now.size() != std::max(o, n)) return false;
  for (qsizetype p = 0; p < now.size(); ++p) {
    const char c = now[p];
    if ((p < n && c == after[p]) || (p < o ? c == before[p] : c == 0)) continue;
    return false;
  }
  return true;
}

// Settles what an interrupted in-place rewrite left: a torn file gets the
// new content. A file still as it was before, already as it was to be, or
// anything else (the user put a backup back, or wrote it since) is left as
// it is, and the journal goes. The incomplete temporary file of an
// interrupted replace is removed.
void recoverTarget(const QByteArray& target) {
  const QByteArray journal = journalName(target);
  const int jfd = ::open(journal.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (jfd >= 0) {
    struct stat st {};
    QByteArray data, before, after;
    const bool ok = ::fstat(jfd, &st) == 0 && S_ISREG(st.st_mode) && readAllFd(jfd, &data, st.st_size);
    ::close(jfd);
    bool settled = ok && !parseJournal(data, &before, &after);  // none of ours: of no use
    const int fd = ok && !settled ? ::open(target.constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW) : -1;
    if (ok && !settled && fd < 0 && errno == ENOENT) settled = true;
    struct stat tst {};
    QByteArray now;
    if (fd >= 0 && ::fstat(fd, &tst) == 0 && S_ISREG(tst.st_mode) && readAllFd(fd, &now, tst.st_size)) {
      if (now == before || now == after || !isTornRewrite(now, before, after))
        settled = true;
      else
        settled = overwriteInPlace(fd, after) == 0;
    }
    if (fd >= 0) ::close(fd);
    if (settled) ::unlink(journal.constData());
  }
  ::unlink(tempName(target).constData());
}

// ---- the lock between running copies -------------------------------------

struct HeldLock {
  int fd = -1;
  int count = 0;
};

std::mutex& lockMutex() {
  static std::mutex m;
  return m;
}
std::map<QByteArray, HeldLock>& heldLocks() {
  static std::map<QByteArray, HeldLock> m;
  return m;
}

QByteArray lockKey(const QByteArray& folder) {
  char buf[PATH_MAX];
  return ::realpath(folder.constData(), buf) ? QByteArray(buf) : folder;
}

// Held while a file is read, shared among readers: another running copy's
// rewrite in place (under the exclusive FileLock) is never read half done.
// A process that holds the FileLock of the folder reads under that.
class ReadLock {
 public:
  explicit ReadLock(const QByteArray& target) {
    const QByteArray folder = lockKey(folderOf(target));
    {
      std::lock_guard<std::mutex> guard(lockMutex());
      const auto it = heldLocks().find(folder);
      if (it != heldLocks().end() && it->second.count > 0) return;
    }
    fd_ = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ >= 0) {
      while (::flock(fd_, LOCK_SH) != 0 && errno == EINTR) {
      }
    }
  }
  ~ReadLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  ReadLock(const ReadLock&) = delete;
  ReadLock& operator=(const ReadLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace

QByteArray inPlaceJournal(const QByteArray& before, const QByteArray& after) { return journalOf(before, after); }

FileRead readRegularFile(const QString& path, QByteArray* bytes, qint64 maxBytes) {
  bytes->clear();
  const QByteArray p = QFile::encodeName(path);
  const QByteArray target = resolve(p, nullptr);
  std::optional<ReadLock> shared(std::in_place, target);
  std::optional<FileLock> exclusive;
  // A rewrite cut short by a crash is finished (under the exclusive lock)
  // before the file is read.
  struct stat js {};
  if (::lstat(journalName(target).constData(), &js) == 0) {
    shared.reset();
    exclusive.emplace(QFile::decodeName(target));
  }
  struct stat st {};
  if (::stat(p.constData(), &st) != 0) return errno == ENOENT ? FileRead::Missing : FileRead::Unreadable;
  if (!S_ISREG(st.st_mode)) return FileRead::NotRegular;
  // Non-blocking, so that a FIFO put there since the check is not waited on.
  const int fd = ::open(p.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? FileRead::Missing : FileRead::Unreadable;
  FileRead result = FileRead::Ok;
  if (::fstat(fd, &st) != 0)
    result = FileRead::Unreadable;
  else if (!S_ISREG(st.st_mode))
    result = FileRead::NotRegular;
  else if (maxBytes >= 0 && st.st_size > maxBytes)
    result = FileRead::TooLarge;
  else if (!readAllFd(fd, bytes, st.st_size, maxBytes))
    result = errno == EFBIG ? FileRead::TooLarge : FileRead::Unreadable;
  ::close(fd);
  if (result != FileRead::Ok) bytes->clear();
  return result;
}

bool regularFileExists(const QString& path) {
  struct stat st {};
  return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

QString finalTarget(const QString& path) { return QFile::decodeName(resolve(QFile::encodeName(path), nullptr)); }

FileLock::FileLock(const QString& path) {
  const QByteArray target = resolve(QFile::encodeName(path), nullptr);
  folder_ = lockKey(folderOf(target));
  {
    std::lock_guard<std::mutex> guard(lockMutex());
    HeldLock& held = heldLocks()[folder_];
    if (held.count++ == 0) {
      // A folder that cannot be opened or locked (some network file
      // systems) is written without the lock rather than not at all.
      held.fd = ::open(folder_.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (held.fd >= 0) {
        while (::flock(held.fd, LOCK_EX) != 0 && errno == EINTR) {
        }
      }
    }
  }
  recoverTarget(target);
}

FileLock::~FileLock() {
  std::lock_guard<std::mutex> guard(lockMutex());
  auto it = heldLocks().find(folder_);
  if (it == heldLocks().end() || --it->second.count > 0) return;
  if (it->second.fd >= 0) ::close(it->second.fd);  // closing releases the lock
  heldLocks().erase(it);
}

void recoverInterruptedReplace(const QString& path) { FileLock lock(path); }

namespace {

// Why the file at `target` may not be replaced (0: it may).
int refusal(const QByteArray& target, struct stat* old, bool* exists) {
  *exists = ::stat(target.constData(), old) == 0;
  if (*exists) {
    if (!S_ISREG(old->st_mode)) return S_ISDIR(old->st_mode) ? EISDIR : EINVAL;
    // The rename needs only the folder's permission; the file's own counts.
    if (::faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) != 0) return errno;
  } else if (errno != ENOENT) {
    return errno;
  }
  if (::faccessat(AT_FDCWD, folderOf(target).constData(), W_OK | X_OK, AT_EACCESS) != 0) return errno;
  return 0;
}

}  // namespace

bool mayReplaceFile(const QString& path, QString* error) {
  int err = 0;
  const QByteArray target = resolve(QFile::encodeName(path), &err);
  struct stat old {};
  bool exists = false;
  if (err == 0) err = refusal(target, &old, &exists);
  if (err != 0 && error) *error = QString::fromLocal8Bit(std::strerror(err));
  return err == 0;
}

bool atomicReplaceFile(const QString& path, const QByteArray& data, QString* error) {
  auto fail = [&](int err) {
    if (error) *error = QString::fromLocal8Bit(std::strerror(err));
    return false;
  };
  int loopErr = 0;
  const QByteArray target = resolve(QFile::encodeName(path), &loopErr);
  if (loopErr) return fail(loopErr);
  const FileLock lock(QFile::decodeName(target));
  const QByteArray folder = folderOf(target);

  struct stat old {};
  bool exists = false;
  if (const int err = refusal(target, &old, &exists)) return fail(err);
  mode_t mode;
  if (exists) {
    mode = old.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }

  const QByteArray tmp = tempName(target);
  ::unlink(tmp.constData());
  const int fd = ::open(tmp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return fail(errno);
  // A file with other names, or whose owner a new file cannot get, is
  // rewritten in place; the rename would take its names or owner away.
  bool inPlace = exists && old.st_nlink > 1;
  if (exists && !inPlace && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()))
    inPlace = ::fchown(fd, old.st_uid, old.st_gid) != 0;

  int err = 0;
  // In place, the temporary file becomes the journal: the contents before
  // and after, so that a crash in the middle can be told from a file that
  // someone changed or put back since.
  int tfd = -1;
  QByteArray before;
  if (inPlace) {
    struct stat now {};
    tfd = ::open(target.constData(), O_RDWR | O_CLOEXEC);
    if (tfd < 0 || ::fstat(tfd, &now) != 0 || !readAllFd(tfd, &before, now.st_size)) err = errno;
  }
  const QByteArray content = inPlace ? journalOf(before, data) : data;
  if (err == 0 && !writeAll(fd, content.constData(), content.size())) err = errno;
  if (err == 0 && ::fchmod(fd, mode) != 0) err = errno;
  if (err == 0 && ::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err != 0) {
    if (tfd >= 0) ::close(tfd);
    ::unlink(tmp.constData());
    return fail(err);
  }

  if (!inPlace) {
    if (::rename(tmp.constData(), target.constData()) != 0) {
      err = errno;
      ::unlink(tmp.constData());
      return fail(err);
    }
    syncFolder(folder);  // makes the rename itself durable
    return true;
  }

  // In place: the journal is kept first.
  const QByteArray journal = journalName(target);
  if (::rename(tmp.constData(), journal.constData()) != 0) {
    err = errno;
    ::close(tfd);
    ::unlink(tmp.constData());
    return fail(err);
  }
  syncFolder(folder);
  err = overwriteInPlace(tfd, data);
  if (err != 0 && overwriteInPlace(tfd, before) != 0) {
    // Neither content is whole in the file: the journal stays, and the next
    // lock or start-up applies it.
    ::close(tfd);
    return fail(err);
  }
  ::close(tfd);
  ::unlink(journal.constData());
  syncFolder(folder);
  return err == 0 ? true : fail(err);
}
