#include "launch/launch_rules.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>
#include <QUrl>

namespace launch {
namespace {

constexpr char kMagic[] = "zelvo-open 1 ";

bool hasControl(const QString& s) {
  for (QChar c : s)
    if (c.unicode() < 0x20 || c.unicode() == 0x7f) return true;
  return false;
}

}  // namespace

QStringList addressesFromArguments(const QStringList& arguments, const QString& currentFolder) {
  QStringList out;
  bool optionsEnded = false;
  for (const QString& arg : arguments) {
    if (!optionsEnded && arg == QLatin1String("--")) {
      optionsEnded = true;
      continue;
    }
    if (arg.trimmed().isEmpty()) continue;
    // A file beside the caller, or named by its path; an address typed with
    // a scheme ("https:", "file:") is never looked up as a file.
    const QFileInfo file(QDir(currentFolder), arg);
    const bool isFile = !arg.contains(QLatin1String("://")) && file.exists();
    // The program has no options: one meant for another program is no address.
    if (!optionsEnded && !isFile && arg.startsWith(u'-')) continue;
    const QString address =
        isFile ? QUrl::fromLocalFile(file.absoluteFilePath()).toString(QUrl::FullyEncoded) : arg.trimmed();
    if (hasControl(address) || address.size() > kMaxAddressLength) continue;
    out << address;
    if (out.size() == kMaxAddresses) break;
  }
  return out;
}

QByteArray encodeMessage(const QStringList& addresses) {
  QByteArray out = kMagic + QByteArray::number(addresses.size()) + '\n';
  for (const QString& a : addresses) out += a.toUtf8() + '\n';
  return out;
}

Decoded decodeMessage(const QByteArray& bytes) {
  Decoded d;
  const auto refuse = [&d] {
    d.malformed = true;
    d.addresses.clear();
    return d;
  };
  if (bytes.size() > kMaxMessageBytes) return refuse();
  const QByteArray magic(kMagic);
  if (bytes.size() < magic.size()) return magic.startsWith(bytes) ? d : refuse();
  if (!bytes.startsWith(magic)) return refuse();
  const qsizetype headerEnd = bytes.indexOf('\n');
  if (headerEnd < 0) return bytes.size() > magic.size() + 3 ? refuse() : d;
  const QByteArray countText = bytes.mid(magic.size(), headerEnd - magic.size());
  bool ok = false;
  const int count = countText.toInt(&ok);
  if (!ok || count < 0 || count > kMaxAddresses || countText != QByteArray::number(count)) return refuse();
  qsizetype at = headerEnd + 1;
  for (int i = 0; i < count; ++i) {
    const qsizetype end = bytes.indexOf('\n', at);
    if (end < 0) {
      if (bytes.size() - at > kMaxAddressLength * 4) return refuse();
      d.addresses.clear();
      return d;
    }
    const QByteArray line = bytes.mid(at, end - at);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString address = utf8(line);
    if (utf8.hasError() || address.isEmpty() || address.size() > kMaxAddressLength || hasControl(address))
      return refuse();
    d.addresses << address;
    at = end + 1;
  }
  // Nothing may follow the last address.
  if (at != bytes.size()) return refuse();
  d.complete = true;
  return d;
}

}  // namespace launch
