#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace {

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

}  // namespace

bool atomicReplaceFile(const QString& path, const QByteArray& data, QString* error) {
  // Write through a symbolic link to the file it names, so the link stays.
  QString target = path;
  const QFileInfo info(path);
  if (info.isSymLink()) target = info.symLinkTarget();

  const QByteArray targetBytes = QFile::encodeName(target);
  const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());
  QByteArray tmpl = folder + "/." + QFile::encodeName(QFileInfo(target).fileName()) + ".XXXXXX";

  auto fail = [&](int err) {
    if (error) *error = QString::fromLocal8Bit(std::strerror(err));
    return false;
  };

  const int fd = ::mkstemp(tmpl.data());
  if (fd < 0) return fail(errno);

  struct stat old {};
  mode_t mode = 0644;
  if (::stat(targetBytes.constData(), &old) == 0 && S_ISREG(old.st_mode)) {
    mode = old.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }

  int err = 0;
  if (!writeAll(fd, data.constData(), data.size()))
    err = errno;
  else if (::fchmod(fd, mode) != 0)
    err = errno;
  else if (::fsync(fd) != 0)
    err = errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && ::rename(tmpl.constData(), targetBytes.constData()) != 0) err = errno;
  if (err != 0) {
    ::unlink(tmpl.constData());
    return fail(err);
  }
  // Make the rename itself durable.
  const int dfd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}
