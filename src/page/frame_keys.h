#pragma once

// The frame's own key combinations in the form X gives them, which a WebKit
// view hands to the frame before the page sees them: WebKit takes some of
// them itself (Alt+Left scrolls) and would never pass them on. Plain C++, so
// that the host matches the list the frame sends with the same code.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace framekeys {

// X modifier bits as key events carry them.
inline constexpr unsigned kShift = 0x1, kControl = 0x4, kAlt = 0x8, kSuper = 0x40;
inline constexpr unsigned kModifiers = kShift | kControl | kAlt | kSuper;

struct Key {
  std::uint32_t keysym = 0;  // lower case; Shift+Tab is Tab with Shift
  unsigned mods = 0;         // of kModifiers only
  bool operator==(const Key&) const = default;
};
using KeyList = std::vector<Key>;

// "keysym:mods" in hex, comma-separated; entries that do not read are left out.
std::string encode(const KeyList& keys);
KeyList decode(std::string_view text);

// A pressed key as the list holds keys: its keysym in lower case (Latin-1),
// the left tab of Shift+Tab as Tab, only the modifiers that tell keys apart.
Key normalise(std::uint32_t keysym, unsigned state);

// Whether the pressed key is in the list. A punctuation key needs Shift on
// some layouts and not on others ("+"), so its Shift does not count.
bool contains(const KeyList& keys, Key pressed);

}  // namespace framekeys
