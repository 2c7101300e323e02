#include "platform/text_codec.h"

#include <iconv.h>

#include <cerrno>

namespace textcodec {

namespace {

// Opening a conversion loads its tables, which costs far more than most
// conversions: each thread keeps the two it uses open.
struct Converter {
  iconv_t cd = reinterpret_cast<iconv_t>(-1);
  Converter(const char* to, const char* from) : cd(iconv_open(to, from)) {}
  ~Converter() {
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  }
};

enum class Direction { FromCp932, ToCp932 };

// One conversion with glibc's iconv. `replace` turns undecodable input into
// U+FFFD (only meaningful when decoding); otherwise such input fails.
std::optional<QByteArray> convert(Direction direction, QByteArrayView in, bool replace) {
  thread_local Converter fromCp932("UTF-8", "CP932");
  thread_local Converter toCp932("CP932", "UTF-8");
  iconv_t cd = direction == Direction::FromCp932 ? fromCp932.cd : toCp932.cd;
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  QByteArray out;
  out.resize(in.size() * 4 + 16);
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = static_cast<size_t>(in.size());
  char* dst = out.data();
  size_t dstLeft = static_cast<size_t>(out.size());
  bool ok = true;
  while (srcLeft > 0) {
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) {
      const qsizetype used = dst - out.data();
      out.resize(out.size() * 2);
      dst = out.data() + used;
      dstLeft = static_cast<size_t>(out.size() - used);
      continue;
    }
    // EILSEQ or EINVAL (truncated sequence at the end)
    if (!replace) {
      ok = false;
      break;
    }
    static const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8
    if (dstLeft < 3) {
      const qsizetype used = dst - out.data();
      out.resize(out.size() * 2 + 3);
      dst = out.data() + used;
      dstLeft = static_cast<size_t>(out.size() - used);
    }
    for (char c : QByteArrayView(kReplacement, 3)) {
      *dst++ = c;
      --dstLeft;
    }
    ++src;
    --srcLeft;
  }
  if (!ok) return std::nullopt;
  out.resize(dst - out.data());
  return out;
}

}  // namespace

bool isValidUtf8(QByteArrayView bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const qsizetype n = bytes.size();
  qsizetype i = 0;
  while (i < n) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    int len;
    unsigned cp;
    if ((c & 0xE0) == 0xC0) {
      len = 2;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + len > n) return false;
    for (int k = 1; k < len; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += len;
  }
  return true;
}

QString decodeShiftJis(QByteArrayView bytes) {
  const auto utf8 = convert(Direction::FromCp932, bytes, true);
  return utf8 ? QString::fromUtf8(*utf8) : QString();
}

std::optional<QByteArray> encodeShiftJis(const QString& text) {
  auto bytes = convert(Direction::ToCp932, text.toUtf8(), false);
  // iconv maps some characters to a look-alike (U+00A5 to a backslash,
  // U+00A2 to U+FFE0, ...): such text would read back as something else.
  if (bytes && decodeShiftJis(*bytes) != text) return std::nullopt;
  return bytes;
}

}  // namespace textcodec
