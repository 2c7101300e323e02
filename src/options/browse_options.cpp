#include "options/browse_options.h"

#include "platform/shell_folders.h"

namespace shbffex {

int csidlOf(int ordinal) {
  static constexpr int table[] = {shell::CSIDL_DESKTOP,          shell::CSIDL_DESKTOP,   shell::CSIDL_DRIVES,
                                  shell::CSIDL_DESKTOPDIRECTORY, shell::CSIDL_FAVORITES, shell::CSIDL_PROGRAMS,
                                  shell::CSIDL_RECENT,           shell::CSIDL_SENDTO,    shell::CSIDL_STARTMENU,
                                  shell::CSIDL_STARTUP,          shell::CSIDL_TEMPLATES};
  if (ordinal < 0 || ordinal >= static_cast<int>(std::size(table))) return shell::CSIDL_DESKTOP;
  return table[ordinal];
}

BrowseFlags browseFlags(TSHBrowseOptions options) {
  static constexpr unsigned flagOf[] = {shell::BIF_DONTGOBELOWDOMAIN, shell::BIF_RETURNFSANCESTORS,
                                        shell::BIF_RETURNONLYFSDIRS, shell::BIF_STATUSTEXT, shell::BIF_STATUSTEXT};
  BrowseFlags r;
  for (int o = sboDontGoBelowDomain; o <= sboStatusText; ++o) {
    if (!options.contains(static_cast<TSHBrowseOption>(o))) continue;
    r.flags |= flagOf[o];
    if (o == sboStatusTextAndShowPath) {
      r.showPath = true;
      break;
    }
  }
  return r;
}

}  // namespace shbffex
