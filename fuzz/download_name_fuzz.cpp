// Any bytes as a server's file name and the download's address: the name
// offered never leaves the download folder, never starts with a dot, holds
// no control, format or line separator character, and still fits with
// ".part" after it; the other names a download may take fit as well.
#include <QChar>
#include <QList>
#include <QString>
#include <cstdlib>

#include "page/download_rules.h"

namespace {

void check(const QString& name) {
  if (name.isEmpty() || name == u"." || name == u".." || name.contains(u'/') || name.startsWith(u'.')) std::abort();
  const QList<uint> points = name.toUcs4();
  for (uint c : points) {
    const QChar::Category k = QChar::category(c);
    if (k == QChar::Other_Control || k == QChar::Other_Format || k == QChar::Other_Surrogate ||
        k == QChar::Separator_Line || k == QChar::Separator_Paragraph)
      std::abort();
  }
  if ((name + QStringLiteral(".part")).toUtf8().size() > kMaxFileNameBytes) std::abort();
  // The names written while it runs, and under which it may end.
  const QString inFolder = QStringLiteral("/d/") + name;
  for (const QString& other : {partFileFor(inFolder), partFileFor(inFolder, 7), freeNameFor(inFolder, 12)}) {
    if (!other.startsWith(u"/d/") || other.mid(3).contains(u'/')) std::abort();
    if (other.mid(3).toUtf8().size() > kMaxFileNameBytes) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  // A NUL splits the name from the address.
  const qsizetype cut = bytes.indexOf('\0');
  const QByteArray name = cut < 0 ? bytes : bytes.left(cut);
  const QString url = cut < 0 ? QString() : QString::fromUtf8(bytes.mid(cut + 1));
  check(downloadFileName(QString::fromUtf8(name), url));
  // Read as UTF-16 too, which reaches half surrogate pairs.
  check(
      downloadFileName(QString::fromUtf16(reinterpret_cast<const char16_t*>(name.constData()), name.size() / 2), url));
  return 0;
}
