#include "engine/webengine_side.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>
#include <optional>

#include "platform/errors.h"

namespace webengine_side {

namespace {

IWebEngineSide* current = nullptr;
std::optional<bool> thirdPartyCookies;

const QString kLibrary = QStringLiteral("zelvo-webengine.so");

// Beside the program (the build), one folder up (the build's benchmarks),
// beside the engine host of an installed tree wherever it was put, or where
// the package puts it.
QString libraryPath() {
  const QString here = QCoreApplication::applicationDirPath();
  for (const QString& c : {here + u'/' + kLibrary, here + QStringLiteral("/../") + kLibrary,
                           here + QStringLiteral("/" ZELVO_ENGINE_LIBDIR_FROM_BIN "/") + kLibrary,
                           QStringLiteral(ZELVO_ENGINE_LIBDIR "/") + kLibrary}) {
    const QFileInfo info(c);
    if (info.isFile()) return info.absoluteFilePath();
  }
  return {};
}

}  // namespace

IWebEngineSide& get() {
  if (current) return *current;
  const QString path = libraryPath();
  if (path.isEmpty())
    throw EEngineError(QStringLiteral("Qt WebEngine のライブラリ (%1) が見つかりません").arg(kLibrary));
  // Never unloaded: its windows, profile and threads live as long as the program.
  QLibrary library(path);
  library.setLoadHints(QLibrary::PreventUnloadHint);
  if (!library.load())
    throw EEngineError(QStringLiteral("Qt WebEngine を読み込めません: %1").arg(library.errorString()));
  using Entry = IWebEngineSide* (*)();
  const auto entry = reinterpret_cast<Entry>(library.resolve("zelvo_webengine_side"));
  if (!entry) throw EEngineError(QStringLiteral("Qt WebEngine のライブラリ %1 が正しくありません").arg(path));
  useInProcess(entry());
  return *current;
}

bool isLoaded() { return current != nullptr; }

void setThirdPartyCookies(bool allow) {
  thirdPartyCookies = allow;
  if (current) current->setThirdPartyCookies(allow);
}

void useInProcess(IWebEngineSide* side) {
  current = side;
  if (current && thirdPartyCookies) current->setThirdPartyCookies(*thirdPartyCookies);
}

}  // namespace webengine_side
