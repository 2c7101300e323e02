#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// What the program's arguments ask it to open, and the message that carries
// them from a second start to the frame already running.
namespace launch {

// Most addresses one start hands over, and the longest one taken.
inline constexpr int kMaxAddresses = 100;
inline constexpr int kMaxAddressLength = 8192;
// The longest message read from a peer; anything longer is refused.
inline constexpr int kMaxMessageBytes = 1 << 20;

// The arguments after the program's name, in order, as the address box
// would take them: an argument naming an existing local file (relative to
// `currentFolder`) becomes that file's address, anything else stays the text
// typed. Empty arguments are skipped, and so are options (text beginning
// with "-" that names no file) until an argument "--"; text with control
// characters is no address and is dropped; at most kMaxAddresses are kept.
QStringList addressesFromArguments(const QStringList& arguments, const QString& currentFolder);

// The message of a second start: a header line with the count, then one
// address per line, UTF-8.
QByteArray encodeMessage(const QStringList& addresses);

// What the bytes read so far from a peer hold: a whole message, a message
// still arriving (neither flag), or something that never is one.
struct Decoded {
  bool complete = false;   // a whole, well-formed message
  bool malformed = false;  // never a message, however much more arrives
  QStringList addresses;
};
Decoded decodeMessage(const QByteArray& bytes);

// The answer the running frame gives once it has taken the addresses.
inline constexpr char kAccepted[] = "ok\n";

}  // namespace launch
