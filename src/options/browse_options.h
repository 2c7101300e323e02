#pragma once

#include <QtGlobal>

// The folder chooser's enumerations and the rules that turn its properties
// into browse flags and special folders. No widgets here.

enum TShowStyle : quint8 { ssNone, ssCenterScreen, ssClient };

enum TRootFolder : quint8 {
  rfDesktop,
  rfManual,
  rfDrives,
  rfDesktopDir,
  rfFavorites,
  rfPrograms,
  rfRecent,
  rfSendTo,
  rfStartMenu,
  rfStartup,
  rfTemplates
};

enum TSelectFolder : quint8 {
  sfDesktop,
  sfManual,
  sfDrives,
  sfDesktopDir,
  sfFavorites,
  sfPrograms,
  sfRecent,
  sfSendTo,
  sfStartMenu,
  sfStartup,
  sfTemplates
};

enum TSHBrowseOption : quint8 {
  sboDontGoBelowDomain,
  sboReturnFSAncestors,
  sboReturnOnlyFSDirs,
  sboStatusTextAndShowPath,
  sboStatusText
};

// A set of TSHBrowseOption in one byte: bit n is the option of ordinal n.
class TSHBrowseOptions {
 public:
  constexpr TSHBrowseOptions() = default;
  constexpr TSHBrowseOptions(std::initializer_list<TSHBrowseOption> options) {
    for (TSHBrowseOption o : options) bits_ |= static_cast<quint8>(1u << o);
  }
  constexpr bool contains(TSHBrowseOption o) const { return (bits_ >> o) & 1u; }
  constexpr quint8 bits() const { return bits_; }
  static constexpr TSHBrowseOptions fromBits(quint8 b) {
    TSHBrowseOptions s;
    s.bits_ = b;
    return s;
  }
  constexpr bool operator==(const TSHBrowseOptions&) const = default;

 private:
  quint8 bits_ = 0;
};

enum TOKButtonState : quint8 { obsNoChange, obsEnable, obsDisable };

namespace shbffex {

// The special folder of a TRootFolder / TSelectFolder ordinal (the manual
// members fall back to the desktop). Ordinals beyond the table give the
// desktop too.
int csidlOf(int ordinal);

struct BrowseFlags {
  unsigned flags = 0;
  bool showPath = false;
};
// The options visited in ordinal order; the visit stops at
// sboStatusTextAndShowPath, which also turns on the path in the status line.
BrowseFlags browseFlags(TSHBrowseOptions options);

}  // namespace shbffex
