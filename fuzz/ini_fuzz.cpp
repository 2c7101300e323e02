// Any bytes as a settings file, in memory: read every key a line could name,
// write one key, read again. The key must read back exactly as written (in
// whichever encoding the file ends up) and no other key may change.
#include <cstdlib>
#include <utility>
#include <vector>

#include "ini_candidates.h"
#include "platform/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  // Each lookup reads the whole file again: a few keys are enough.
  const auto keys = candidates(bytes, 8);
  std::vector<std::optional<QString>> before;
  before.reserve(keys.size());
  for (const auto& [s, k] : keys) before.push_back(IniFile::lookup(bytes, s, k));

  // The value comes from the input too, so odd characters get written;
  // simplified() leaves no line break and nothing that reading trims.
  const QString value = QString::fromUtf8(bytes.left(40)).simplified();
  const QString section = QStringLiteral("Fuzz");
  const QString key = QStringLiteral("Key");
  const QByteArray after = IniFile::withValue(bytes, section, key, value);

  if (IniFile::lookup(after, section, key) != value) std::abort();
  for (size_t i = 0; i < keys.size(); ++i) {
    const auto& [s, k] = keys[i];
    if (s.compare(section, Qt::CaseInsensitive) == 0 && k.compare(key, Qt::CaseInsensitive) == 0) continue;
    if (IniFile::lookup(after, s, k) != before[i]) std::abort();
  }
  return 0;
}
