#include "platform/user_folders.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace user_folders {
namespace {

QString made(const QString& folder) {
  QDir().mkpath(folder);
  return folder;
}

}  // namespace

QString data() {
  return made(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/zelvo"));
}

QString cache() {
  return made(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/zelvo"));
}

QString runtime() {
  const QString xdg = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (!xdg.isEmpty()) return made(xdg + QStringLiteral("/zelvo"));
  // Only the user may enter it: others must not reach what the run keeps there.
  const QString folder = QDir::tempPath() + QStringLiteral("/zelvo-%1").arg(::getuid());
  QDir().mkpath(folder);
  QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  return folder;
}

}  // namespace user_folders
