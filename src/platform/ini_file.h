#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <optional>

// The settings file: named sections of key=value lines, read and written one
// key at a time. Every read goes to the file on disk and every write updates
// it at once; nothing is cached between calls.
//
// Reading: section and key names match without regard to case, the first
// matching section and the first matching key in it win, names and values are
// trimmed of surrounding spaces and tabs, strings are at most 2047 characters,
// and a missing file, section or key (or a value that is no integer) gives the
// caller's default. Reads never fail.
//
// Writing: an existing key's line is replaced, a new key goes at the end of
// its section, a new section at the end of the file; every other byte of the
// file stays as it was. The file is replaced atomically; a write the system
// refuses leaves the old file untouched and throws EInOutError with the text
// "<path> に書き込めません". Each write reads the file again under a lock
// shared by running copies, so a key another copy wrote meanwhile stays; the
// last writer of a key wins. Anything but a regular file under the name
// reads as no file and is never replaced.
//
// Text is UTF-8; a file that is not valid UTF-8 is taken as Shift_JIS and is
// written back in Shift_JIS, unless a value would not read back exactly in
// it: then the whole file moves to UTF-8.
class IniFile {
 public:
  explicit IniFile(QString fileName);

  const QString& FileName() const { return fileName_; }

  QString ReadString(const QString& section, const QString& ident, const QString& defaultValue) const;
  int ReadInteger(const QString& section, const QString& ident, int defaultValue) const;
  bool ReadBool(const QString& section, const QString& ident, bool defaultValue) const;

  void WriteString(const QString& section, const QString& ident, const QString& value);
  void WriteInteger(const QString& section, const QString& ident, int value);
  void WriteBool(const QString& section, const QString& ident, bool value);

  // Integer text as the reader takes it: decimal with an optional sign, or
  // "0x"/"0X" followed by up to eight hex digits; anything else is no integer.
  static std::optional<int> parseInteger(QStringView text);

  // The same rules over the file's bytes, in memory: the value a read
  // finds (none when the section or key is missing), and the whole file
  // after a write.
  static std::optional<QString> lookup(const QByteArray& file, const QString& section, const QString& ident);
  static QByteArray withValue(const QByteArray& file, const QString& section, const QString& ident,
                              const QString& value);

  static constexpr int kMaxStringLength = 2047;

 private:
  QString fileName_;
};
