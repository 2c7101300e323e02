#include "page/frame_keys.h"

#include <algorithm>
#include <charconv>

namespace framekeys {

namespace {

constexpr std::uint32_t kTab = 0xff09, kLeftTab = 0xfe20, kKeypadTab = 0xff89;

std::uint32_t lower(std::uint32_t keysym) {
  if ((keysym >= 'A' && keysym <= 'Z') || (keysym >= 0xc0 && keysym <= 0xde && keysym != 0xd7)) return keysym + 0x20;
  return keysym;
}

bool punctuation(std::uint32_t keysym) {
  return keysym > 0x20 && keysym < 0x7f && !(keysym >= 'a' && keysym <= 'z') && !(keysym >= '0' && keysym <= '9');
}

bool readHex(std::string_view s, std::uint32_t* out) {
  if (s.empty()) return false;
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), *out, 16);
  return error == std::errc() && end == s.data() + s.size();
}

}  // namespace

std::string encode(const KeyList& keys) {
  std::string out;
  char buf[32];
  for (const Key& k : keys) {
    if (!out.empty()) out += ',';
    auto end = std::to_chars(buf, buf + sizeof buf, k.keysym, 16).ptr;
    *end++ = ':';
    end = std::to_chars(end, buf + sizeof buf, k.mods & kModifiers, 16).ptr;
    out.append(buf, end);
  }
  return out;
}

KeyList decode(std::string_view text) {
  KeyList keys;
  while (!text.empty()) {
    const std::size_t comma = text.find(',');
    const std::string_view entry = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    const std::size_t colon = entry.find(':');
    std::uint32_t keysym = 0, mods = 0;
    if (colon == std::string_view::npos || !readHex(entry.substr(0, colon), &keysym) ||
        !readHex(entry.substr(colon + 1), &mods) || keysym == 0)
      continue;
    keys.push_back(normalise(keysym, mods));
  }
  return keys;
}

Key normalise(std::uint32_t keysym, unsigned state) {
  Key k{lower(keysym), state & kModifiers};
  if (keysym == kLeftTab) k.mods |= kShift;
  if (keysym == kLeftTab || keysym == kKeypadTab) k.keysym = kTab;
  return k;
}

bool contains(const KeyList& keys, Key pressed) {
  if (std::find(keys.begin(), keys.end(), pressed) != keys.end()) return true;
  if (!punctuation(pressed.keysym)) return false;
  return std::any_of(keys.begin(), keys.end(), [&](const Key& k) {
    return k.keysym == pressed.keysym && (k.mods & ~kShift) == (pressed.mods & ~kShift);
  });
}

}  // namespace framekeys
