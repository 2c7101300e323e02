#pragma once

#include <QByteArray>
#include <QString>

// Reading and replacing the program's own files (settings, bookmarks) so
// that no crash, full disk or refused write ever leaves a half-written file.

// What reading a file found. Only regular files are read: a FIFO, a device
// or a folder under the file's name is never opened for reading, so it can
// neither hang the program nor feed it endless bytes. With `maxBytes`, a
// larger file is not read (TooLarge). The read shares the lock of FileLock,
// so it never sees another running copy's rewrite half done.
enum class FileRead { Ok, Missing, NotRegular, Unreadable, TooLarge };
FileRead readRegularFile(const QString& path, QByteArray* bytes, qint64 maxBytes = -1);

// Whether `path` names a regular file (after symbolic links); a FIFO or a
// folder under the name counts as no file.
bool regularFileExists(const QString& path);

// The file a path finally names: symbolic links followed, one after the
// other, to the last one's target (which need not exist yet).
QString finalTarget(const QString& path);

// An exclusive lock between running copies of the program over the folder
// that holds `path`'s final file, held while the object lives. Take it
// around a read-modify-write so no other copy's change is lost in between.
// Nested locks of one process on one folder are counted, not taken twice.
// Taking it first finishes or clears what an interrupted replace left.
class FileLock {
 public:
  explicit FileLock(const QString& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  QByteArray folder_;
};

// Replaces the file at `path` with `data` so that readers see either the old
// or the new content, never a mix. Symbolic links are followed to the final
// file, which is the one replaced. Usually the data goes to a temporary file
// beside it, is flushed and renamed over the old file, keeping its mode and
// owner. A file with more than one name (hard links), or whose owner cannot
// be given to a new file, is instead rewritten in place so every name and
// the owner stay; a complete copy of the new content is kept beside it until
// then, so a crash leaves a whole copy, old or new (see FileLock).
// A file the user may not write, or that is not a regular file, is refused.
// On failure the old file is untouched and false is returned with `error`.
bool atomicReplaceFile(const QString& path, const QByteArray& data, QString* error = nullptr);

// Whether atomicReplaceFile would be let to replace `path` (a regular file
// or none, which the user may write, in a folder the user may write); with
// `error` set when not.
bool mayReplaceFile(const QString& path, QString* error = nullptr);

// Finishes or clears what an interrupted replace of `path` left beside it
// (run at start-up; taking a FileLock or reading the file does the same).
// A file rewritten in place gets the new content only while it is as the
// interruption left it; one changed or put back since is kept as it is.
void recoverInterruptedReplace(const QString& path);

// The journal an in-place rewrite of `before` into `after` keeps beside the
// file while it writes (tests leave one as a crash would).
QByteArray inPlaceJournal(const QByteArray& before, const QByteArray& after);
