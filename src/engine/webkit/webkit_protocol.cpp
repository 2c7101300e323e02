#include "engine/webkit/webkit_protocol.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace wkproto {

Message& Message::set(const std::string& key, std::string value) {
  fields_[key] = std::move(value);
  return *this;
}
Message& Message::set(const std::string& key, bool value) {
  fields_[key] = value;
  return *this;
}
Message& Message::set(const std::string& key, std::int64_t value) {
  fields_[key] = value;
  return *this;
}
Message& Message::set(const std::string& key, double value) {
  fields_[key] = value;
  return *this;
}
Message& Message::setValue(const std::string& key, Value value) {
  fields_[key] = std::move(value);
  return *this;
}
Message& Message::erase(const std::string& key) {
  fields_.erase(key);
  return *this;
}

std::string Message::str(const std::string& key, const std::string& fallback) const {
  auto it = fields_.find(key);
  if (it == fields_.end()) return fallback;
  if (auto s = std::get_if<std::string>(&it->second)) return *s;
  return fallback;
}

std::int64_t Message::integer(const std::string& key, std::int64_t fallback) const {
  auto it = fields_.find(key);
  if (it == fields_.end()) return fallback;
  if (auto i = std::get_if<std::int64_t>(&it->second)) return *i;
  if (auto d = std::get_if<double>(&it->second)) {
    if (std::isfinite(*d) && std::fabs(*d) < 9.2e18) return static_cast<std::int64_t>(*d);
  }
  return fallback;
}

double Message::number(const std::string& key, double fallback) const {
  auto it = fields_.find(key);
  if (it == fields_.end()) return fallback;
  if (auto d = std::get_if<double>(&it->second)) return *d;
  if (auto i = std::get_if<std::int64_t>(&it->second)) return static_cast<double>(*i);
  return fallback;
}

bool Message::boolean(const std::string& key, bool fallback) const {
  auto it = fields_.find(key);
  if (it == fields_.end()) return fallback;
  if (auto b = std::get_if<bool>(&it->second)) return *b;
  return fallback;
}

namespace {

void appendString(std::string& out, const std::string& s) {
  out += '"';
  for (std::size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      default:
        if (c < 0x20 || c == 0x7f) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else if (c == 0xe2 && i + 2 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0x80 &&
                   (static_cast<unsigned char>(s[i + 2]) == 0xa8 || static_cast<unsigned char>(s[i + 2]) == 0xa9)) {
          // U+2028 / U+2029: line breaks to some readers.
          out += static_cast<unsigned char>(s[i + 2]) == 0xa8 ? "\\u2028" : "\\u2029";
          i += 2;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

void appendNumber(std::string& out, double d) {
  if (!std::isfinite(d)) {
    out += "null";  // JSON has no NaN or infinity
    return;
  }
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", d);
  out += buf;
  // Keep it a floating-point value when read back.
  if (!std::strpbrk(buf, ".eE")) out += ".0";
}

struct Parser {
  std::string_view in;
  std::size_t pos = 0;
  std::string error;

  bool fail(const char* what) {
    if (error.empty()) error = std::string(what) + " at offset " + std::to_string(pos);
    return false;
  }
  void skipSpace() {
    while (pos < in.size() && (in[pos] == ' ' || in[pos] == '\t' || in[pos] == '\r' || in[pos] == '\n')) ++pos;
  }
  bool consume(char c) {
    skipSpace();
    if (pos < in.size() && in[pos] == c) {
      ++pos;
      return true;
    }
    return false;
  }
  bool literal(std::string_view word) {
    if (in.substr(pos, word.size()) == word) {
      pos += word.size();
      return true;
    }
    return false;
  }
  static void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xc0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3f));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xe0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
      out += static_cast<char>(0x80 | (cp & 0x3f));
    } else {
      out += static_cast<char>(0xf0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3f));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
      out += static_cast<char>(0x80 | (cp & 0x3f));
    }
  }
  bool hex4(std::uint32_t& v) {
    if (pos + 4 > in.size()) return fail("short \\u escape");
    v = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = in[pos++];
      v <<= 4;
      if (c >= '0' && c <= '9')
        v |= static_cast<std::uint32_t>(c - '0');
      else if (c >= 'a' && c <= 'f')
        v |= static_cast<std::uint32_t>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        v |= static_cast<std::uint32_t>(c - 'A' + 10);
      else
        return fail("bad \\u escape");
    }
    return true;
  }
  bool string(std::string& out) {
    skipSpace();
    if (pos >= in.size() || in[pos] != '"') return fail("expected string");
    ++pos;
    while (pos < in.size()) {
      const char c = in[pos++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return fail("raw control character in string");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos >= in.size()) break;
      const char e = in[pos++];
      switch (e) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          std::uint32_t cp = 0;
          if (!hex4(cp)) return false;
          if (cp >= 0xd800 && cp < 0xdc00) {
            std::uint32_t low = 0;
            if (!literal("\\u") || !hex4(low) || low < 0xdc00 || low >= 0xe000) return fail("unpaired surrogate");
            cp = 0x10000 + ((cp - 0xd800) << 10) + (low - 0xdc00);
          } else if (cp >= 0xdc00 && cp < 0xe000) {
            return fail("unpaired surrogate");
          }
          appendUtf8(out, cp);
          break;
        }
        default:
          return fail("bad escape");
      }
    }
    return fail("unterminated string");
  }
  bool number(Value& v) {
    const std::size_t begin = pos;
    if (pos < in.size() && in[pos] == '-') ++pos;
    if (pos >= in.size() || in[pos] < '0' || in[pos] > '9') return fail("bad number");
    bool integral = true;
    while (pos < in.size()) {
      const char c = in[pos];
      if (c >= '0' && c <= '9') {
        ++pos;
      } else if (c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-') {
        integral = false;
        ++pos;
      } else {
        break;
      }
    }
    const std::string text(in.substr(begin, pos - begin));
    char* end = nullptr;
    if (integral) {
      errno = 0;
      const long long i = std::strtoll(text.c_str(), &end, 10);
      if (errno == 0 && end && *end == '\0') {
        v = static_cast<std::int64_t>(i);
        return true;
      }
    }
    const double d = std::strtod(text.c_str(), &end);
    if (!end || *end != '\0') return fail("bad number");
    v = d;
    return true;
  }
  bool value(Value& v) {
    skipSpace();
    if (pos >= in.size()) return fail("expected value");
    const char c = in[pos];
    if (c == '"') {
      std::string s;
      if (!string(s)) return false;
      v = std::move(s);
      return true;
    }
    if (literal("true")) {
      v = true;
      return true;
    }
    if (literal("false")) {
      v = false;
      return true;
    }
    if (literal("null")) {
      v = std::monostate{};
      return true;
    }
    if (c == '{' || c == '[') return fail("nested values are not allowed");
    return number(v);
  }
};

}  // namespace

namespace {

const char* const kLeadingKeys[] = {"cmd", "ev", "view", "id"};

bool isLeadingKey(const std::string& key) {
  for (const char* k : kLeadingKeys)
    if (key == k) return true;
  return false;
}

void appendField(std::string& out, const std::string& key, const Value& value) {
  if (out.size() > 1) out += ',';
  appendString(out, key);
  out += ':';
  if (std::holds_alternative<std::monostate>(value)) {
    out += "null";
  } else if (auto b = std::get_if<bool>(&value)) {
    out += *b ? "true" : "false";
  } else if (auto i = std::get_if<std::int64_t>(&value)) {
    out += std::to_string(*i);
  } else if (auto d = std::get_if<double>(&value)) {
    appendNumber(out, *d);
  } else {
    appendString(out, std::get<std::string>(value));
  }
}

}  // namespace

std::string encode(const Message& message) {
  std::string out = "{";
  const auto& fields = message.fields();
  for (const char* key : kLeadingKeys)
    if (auto it = fields.find(key); it != fields.end()) appendField(out, it->first, it->second);
  for (const auto& [key, value] : fields)
    if (!isLeadingKey(key)) appendField(out, key, value);
  out += '}';
  return out;
}

bool shorten(Message& message, std::size_t maxLine) {
  std::string cut = message.str("cut");
  while (encode(message).size() > maxLine) {
    const std::string* longest = nullptr;
    std::size_t longestSize = 0;
    for (const auto& [key, value] : message.fields()) {
      auto s = std::get_if<std::string>(&value);
      if (!s || key == "cmd" || key == "ev" || key == "cut") continue;
      if (!longest || s->size() > longestSize) {
        longest = &key;
        longestSize = s->size();
      }
    }
    if (!longest) return false;
    cut += (cut.empty() ? "" : ",") + *longest;
    message.erase(std::string(*longest));
    message.set("cut", cut);
  }
  return true;
}

std::optional<Message> decode(std::string_view line, std::string* error) {
  Parser p{line, 0, {}};
  Message m;
  auto failed = [&]() -> std::optional<Message> {
    if (error) *error = p.error.empty() ? "malformed message" : p.error;
    return std::nullopt;
  };
  if (!p.consume('{')) {
    p.fail("expected object");
    return failed();
  }
  if (!p.consume('}')) {
    do {
      std::string key;
      Value v;
      if (!p.string(key)) return failed();
      if (!p.consume(':')) {
        p.fail("expected ':'");
        return failed();
      }
      if (!p.value(v)) return failed();
      m.setValue(key, std::move(v));
    } while (p.consume(','));
    if (!p.consume('}')) {
      p.fail("expected '}' or ','");
      return failed();
    }
  }
  p.skipSpace();
  if (p.pos != line.size()) {
    p.fail("trailing characters");
    return failed();
  }
  return m;
}

Message decodeHead(std::string_view head) {
  Parser p{head, 0, {}};
  Message m;
  if (!p.consume('{')) return m;
  do {
    std::string key;
    Value v;
    if (!p.string(key) || !p.consume(':') || !p.value(v)) break;
    // A number may have been cut in the middle; only what a separator
    // follows is known to be whole.
    p.skipSpace();
    if (p.pos >= head.size()) break;
    m.setValue(key, std::move(v));
  } while (p.consume(','));
  return m;
}

void LineReader::feed(const char* data, std::size_t size) {
  while (size > 0) {
    const void* nl = std::memchr(data, '\n', size);
    const std::size_t chunk = nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - data) : size;
    if (!overlong_) {
      if (open_.size() + chunk <= maxLine_) {
        open_.append(data, chunk);
      } else {
        // Over the limit: keep only the head, which names the message.
        const std::size_t head = std::min(maxLine_, kHeadSize);
        if (open_.size() > head)
          open_.resize(head);
        else
          open_.append(data, std::min(chunk, head - open_.size()));
        overlong_ = true;
      }
    }
    if (!nl) return;
    if (!overlong_ && !open_.empty() && open_.back() == '\r') open_.pop_back();
    if (overlong_) ++dropped_;
    ready_.emplace_back(std::move(open_), overlong_);
    open_.clear();
    overlong_ = false;
    data += chunk + 1;
    size -= chunk + 1;
  }
}

std::optional<std::string> LineReader::next() {
  if (ready_.empty()) return std::nullopt;
  auto [line, cut] = std::move(ready_.front());
  ready_.pop_front();
  lastCut_ = cut;
  return std::move(line);
}

int progressWhileLoading(double fraction) {
  if (!(fraction > 0)) return 0;  // also NaN
  const double scaled = std::floor(fraction * 100.0);
  if (scaled >= 99) return 99;
  return static_cast<int>(scaled);
}

}  // namespace wkproto
