#pragma once

// The line protocol between the frame and zelvo-webkit-host: one flat JSON
// object per line, commands ("cmd") to the host on its stdin, events and
// replies ("ev") back on its stdout, each carrying the view id ("view").
// Plain C++ so that the GTK host and the Qt side share one implementation.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace wkproto {

// A field value: null, boolean, integer, floating-point number or string.
// Nested objects and arrays are not part of the protocol.
using Value = std::variant<std::monostate, bool, std::int64_t, double, std::string>;

class Message {
 public:
  Message() = default;

  Message& set(const std::string& key, std::string value);
  Message& set(const std::string& key, const char* value) { return set(key, std::string(value ? value : "")); }
  Message& set(const std::string& key, bool value);
  Message& set(const std::string& key, std::int64_t value);
  Message& set(const std::string& key, int value) { return set(key, static_cast<std::int64_t>(value)); }
  Message& set(const std::string& key, double value);
  Message& setValue(const std::string& key, Value value);
  Message& erase(const std::string& key);

  bool has(const std::string& key) const { return fields_.count(key) != 0; }
  // Typed reads; a missing field or one of another type gives the fallback.
  // Integers and numbers convert into each other.
  std::string str(const std::string& key, const std::string& fallback = {}) const;
  std::int64_t integer(const std::string& key, std::int64_t fallback = 0) const;
  double number(const std::string& key, double fallback = 0) const;
  bool boolean(const std::string& key, bool fallback = false) const;

  const std::map<std::string, Value>& fields() const { return fields_; }
  bool operator==(const Message& other) const { return fields_ == other.fields_; }

 private:
  std::map<std::string, Value> fields_;
};

// The longest line either side takes. Far beyond any address an engine
// loads, so a line this long is a fault, reported rather than read.
inline constexpr std::size_t kMaxLine = std::size_t(64) << 20;

// One line of JSON, without the line end. Strings are written as UTF-8 with
// control characters, quotes and backslashes escaped, and U+2028/U+2029
// escaped too, so a line never contains a raw line break. "cmd", "ev",
// "view" and "id" come first, so that the head of a line says what it is.
std::string encode(const Message& message);

// Makes the message fit in maxLine bytes by leaving out its longest string
// fields (never "cmd" or "ev"); their names go into "cut", comma-separated.
// False when it cannot be made to fit.
bool shorten(Message& message, std::size_t maxLine = kMaxLine);

// Parses one line. Accepts any JSON object whose values are scalars; \u
// escapes (with surrogate pairs) are decoded to UTF-8. Returns nothing and
// sets *error on malformed input, nested values or trailing garbage.
std::optional<Message> decode(std::string_view line, std::string* error = nullptr);

// The fields that stand complete at the start of a cut line, so that its
// receiver can tell whom it was for and what it was.
Message decodeHead(std::string_view head);

// Splits a byte stream into lines. A line longer than the limit is not
// kept whole, so one bad writer cannot grow the buffer without bound: next()
// returns its head (the first bytes, at most kHeadSize) with cut() true.
class LineReader {
 public:
  static constexpr std::size_t kHeadSize = 4096;
  explicit LineReader(std::size_t maxLine = kMaxLine) : maxLine_(maxLine) {}

  void feed(const char* data, std::size_t size);
  void feed(std::string_view data) { feed(data.data(), data.size()); }
  // The next complete line (without "\n" or "\r\n"), if any.
  std::optional<std::string> next();
  // Whether the line next() returned last was over the limit (only its head).
  bool cut() const { return lastCut_; }
  std::size_t droppedLines() const { return dropped_; }
  // Bytes held of an unfinished line.
  std::size_t pending() const { return open_.size(); }

 private:
  std::size_t maxLine_;
  std::string open_;
  bool overlong_ = false;
  std::deque<std::pair<std::string, bool>> ready_;
  bool lastCut_ = false;
  std::size_t dropped_ = 0;
};

// WebKit's estimated load progress (0..1) as the progress value of a
// (value, 100) pair while a load runs: never 100, which the frame reads as
// "finished" and answers by resetting its bar and disabling Stop. The
// finished load reports (100, 100) on its own.
int progressWhileLoading(double fraction);

}  // namespace wkproto
