#pragma once

#include <QString>

// The zoom levels remembered per site, in the user's data folder. Read at
// each lookup (another running copy may have changed it); every change
// replaces the file atomically.
namespace zoom {

QString storePath();
// The level remembered for the site of `url`, or 100.
int storedLevel(const QString& url);
// Remembers `level` for the site of `url` (100 forgets it); nothing for an
// address of no site. Throws EInOutError when the file cannot be written.
void storeLevel(const QString& url, int level);
// Forgets the levels set from sinceMs on (0: all of them).
void forgetFrom(qint64 sinceMs);

}  // namespace zoom
