#include "app/app_path.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include "platform/errors.h"

namespace {

QString& overrideFolder() {
  static QString f;
  return f;
}

QString userFolder(QStandardPaths::StandardLocation base) {
  return QStandardPaths::writableLocation(base) + QStringLiteral("/zelvo");
}

// The folder the build installs the program into counts as installed even
// for root, who could write there: settings do not belong in /usr/bin.
#ifndef ZELVO_BINDIR
#error "ZELVO_BINDIR (the install folder of the program) must be defined"
#endif
bool isInstallBinFolder(const QString& folder) {
  const QString bin = QFileInfo(QStringLiteral(ZELVO_BINDIR)).canonicalFilePath();
  return !bin.isEmpty() && QFileInfo(folder).canonicalFilePath() == bin;
}

struct Placement {
  bool installed = false;
  QString folder;  // ends in "/"
};

const Placement& placement() {
  static const Placement p = [] {
    Placement r;
    const QString own = QCoreApplication::applicationDirPath();
    r.installed = isInstallBinFolder(own) || !folderTakesNewFiles(own);
    if (!r.installed) {
      r.folder = own + u'/';
      return r;
    }
    const QString config = userFolder(QStandardPaths::GenericConfigLocation);
    // Should this fail, the first settings write reports it with the file's
    // path, which says more than a failure here could.
    QDir().mkpath(config);
    r.folder = config + u'/';
    return r;
  }();
  return p;
}

}  // namespace

bool folderTakesNewFiles(const QString& folder) {
  QTemporaryFile probe(folder + QStringLiteral("/.zelvo-write-test-XXXXXX"));
  return probe.open();
}

void setProgramFolderForTests(const QString& folder) {
  QString f = folder;
  if (!f.isEmpty() && !f.endsWith(u'/')) f += u'/';
  overrideFolder() = f;
}

QString programFolder() {
  if (!overrideFolder().isEmpty()) return overrideFolder();
  return placement().folder;
}

bool runsInstalled() { return overrideFolder().isEmpty() && placement().installed; }

void enterUserDataFolder() {
  if (!runsInstalled()) return;
  const QString data = userFolder(QStandardPaths::GenericDataLocation);
  if (!QDir().mkpath(data)) throw EInOutError(QStringLiteral("%1 を作成できません").arg(data));
  if (!QDir::setCurrent(data)) throw EInOutError(QStringLiteral("%1 に移動できません").arg(data));
}
