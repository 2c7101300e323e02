#pragma once

#include <QString>

// The user's own folders of the program, created when missing: data that
// must outlive the run ($XDG_DATA_HOME/zelvo: history, sessions, site
// settings), data that may be thrown away ($XDG_CACHE_HOME/zelvo: site
// icons, engine caches), and the run's private folder ($XDG_RUNTIME_DIR,
// else a folder of the user's own under the temporary folder).
namespace user_folders {
QString data();
QString cache();
QString runtime();
}  // namespace user_folders
