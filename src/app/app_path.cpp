#include "app/app_path.h"

#include <QCoreApplication>

namespace {
QString& overrideFolder() {
  static QString f;
  return f;
}
}  // namespace

void setProgramFolderForTests(const QString& folder) {
  QString f = folder;
  if (!f.isEmpty() && !f.endsWith(u'/')) f += u'/';
  overrideFolder() = f;
}

QString programFolder() {
  if (!overrideFolder().isEmpty()) return overrideFolder();
  return QCoreApplication::applicationDirPath() + u'/';
}
