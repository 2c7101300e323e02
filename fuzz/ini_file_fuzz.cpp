// Any bytes as a settings file on disk: read, write one key, read again. The
// key must read back as written and no other key may change. Slow (every
// input is a real atomic write with fsync); ini_fuzz covers the same rules
// in memory.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <utility>
#include <vector>

#include "ini_candidates.h"
#include "platform/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("config.ini"));
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
    f.write(bytes);
  }
  IniFile ini(path);
  const auto keys = candidates(bytes, SIZE_MAX);
  std::vector<QString> before;
  for (const auto& [s, k] : keys) before.push_back(ini.ReadString(s, k, QStringLiteral("\x01missing")));

  // The value comes from the input too, so odd characters get written;
  // simplified() leaves no line break and nothing that reading trims.
  const QString value = QString::fromUtf8(bytes.left(40)).simplified();
  ini.WriteString(QStringLiteral("Fuzz"), QStringLiteral("Key"), value);

  if (ini.ReadString(QStringLiteral("Fuzz"), QStringLiteral("Key"), QString()) != value) std::abort();
  for (size_t i = 0; i < keys.size(); ++i) {
    const auto& [s, k] = keys[i];
    if (s.compare(u"Fuzz", Qt::CaseInsensitive) == 0 && k.compare(u"Key", Qt::CaseInsensitive) == 0) continue;
    if (ini.ReadString(s, k, QStringLiteral("\x01missing")) != before[i]) std::abort();
  }
  return 0;
}
