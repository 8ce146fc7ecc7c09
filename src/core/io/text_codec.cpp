#include "core/io/text_codec.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <cerrno>
#include <algorithm>
#include <cstdint>

namespace quillet::text {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at `pos`. Returns the code point and advances `pos`; an invalid
// sequence yields nullopt and advances `pos` by one byte.
std::optional<char32_t> decodeUtf8(std::string_view s, std::size_t& pos) {
  const auto b0 = static_cast<unsigned char>(s[pos]);
  if (b0 < 0x80) {
    ++pos;
    return b0;
  }
  std::size_t len = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    ++pos;
    return std::nullopt;
  }
  if (pos + len > s.size()) {
    ++pos;
    return std::nullopt;
  }
  for (std::size_t i = 1; i < len; ++i) {
    const auto b = static_cast<unsigned char>(s[pos + i]);
    if ((b & 0xC0) != 0x80) {
      ++pos;
      return std::nullopt;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++pos;
    return std::nullopt;
  }
  pos += len;
  return cp;
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

void appendUtf16le(std::string& out, char32_t cp) {
  auto unit = [&out](std::uint16_t u) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
  };
  if (cp < 0x10000) {
    unit(static_cast<std::uint16_t>(cp));
  } else {
    cp -= 0x10000;
    unit(static_cast<std::uint16_t>(0xD800 | (cp >> 10)));
    unit(static_cast<std::uint16_t>(0xDC00 | (cp & 0x3FF)));
  }
}

#if !defined(_WIN32)

// One iconv descriptor per direction and thread, opened on first use: opening one is far dearer
// than a conversion.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (valid()) {
      iconv_close(cd_);
    }
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

// Converts with iconv, replacing each byte or character iconv refuses by `replacement`
// (already in the target encoding) and going on after it. `skipUnit` is how far to step over
// refused input: 1 byte, or 0 for one whole UTF-8 sequence.
std::string convert(const Converter& converter, std::string_view in, std::string_view replacement,
                    std::size_t skipUnit) {
  if (!converter.valid()) {
    return std::string(in);
  }
  iconv_t cd = converter.get();
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  std::string out;
  out.reserve(in.size() * 3 / 2 + 16);
  char* inPtr = const_cast<char*>(in.data());
  std::size_t inLeft = in.size();
  char buffer[4096];
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    if (rc != static_cast<std::size_t>(-1) || errno == E2BIG) {
      continue;
    }
    // EILSEQ or EINVAL (truncated input): emit the replacement and step over the bad input.
    out.append(replacement);
    std::size_t step = skipUnit;
    if (skipUnit == 0) {
      std::size_t pos = static_cast<std::size_t>(inPtr - in.data());
      decodeUtf8(in, pos);
      step = pos - static_cast<std::size_t>(inPtr - in.data());
    }
    step = std::min(step, inLeft);
    inPtr += step;
    inLeft -= step;
  }
  return out;
}

#endif

}  // namespace

bool isValidUtf8(std::string_view bytes) {
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    // Fast path over plain ASCII.
    if (static_cast<unsigned char>(bytes[pos]) < 0x80) {
      ++pos;
      continue;
    }
    if (!decodeUtf8(bytes, pos)) {
      return false;
    }
  }
  return true;
}

std::string utf16leToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  const std::size_t units = bytes.size() / 2;
  auto unitAt = [&bytes](std::size_t i) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                      (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  };
  for (std::size_t i = 0; i < units; ++i) {
    const std::uint16_t u = unitAt(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
      const std::uint16_t low = unitAt(i + 1);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        appendUtf8(out, 0x10000 + ((static_cast<char32_t>(u - 0xD800) << 10) | (low - 0xDC00)));
        ++i;
        continue;
      }
    }
    appendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? kReplacement : u);
  }
  if (bytes.size() % 2 != 0) {
    appendUtf8(out, kReplacement);
  }
  return out;
}

std::string utf8ToUtf16le(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() * 2);
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    appendUtf16le(out, decodeUtf8(utf8, pos).value_or(kReplacement));
  }
  return out;
}

#if defined(_WIN32)

// Windows converts through its code page 936 one character at a time, so that a byte it refuses
// is replaced alone, as with iconv.
std::string cp936ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 3 / 2 + 16);
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const auto byte = static_cast<unsigned char>(bytes[pos]);
    if (byte < 0x80) {
      out.push_back(static_cast<char>(byte));
      ++pos;
      continue;
    }
    wchar_t wide[2];
    int n = 0;
    if (byte >= 0x81 && byte <= 0xFE && pos + 1 < bytes.size()) {
      n = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes.data() + pos, 2, wide, 2);
    }
    const int used = n > 0 ? 2 : 1;
    if (n <= 0) {
      n = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes.data() + pos, 1, wide, 2);
    }
    appendUtf8(out, n == 1 ? static_cast<char32_t>(wide[0]) : kReplacement);
    pos += static_cast<std::size_t>(used);
  }
  return out;
}

std::string utf8ToCp936(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const std::optional<char32_t> cp = decodeUtf8(utf8, pos);
    if (cp && *cp < 0x80) {
      out.push_back(static_cast<char>(*cp));
      continue;
    }
    std::string units;
    appendUtf16le(units, cp.value_or(kReplacement));
    wchar_t wide[2] = {};
    const int count = static_cast<int>(units.size() / 2);
    for (int i = 0; i < count; ++i) {
      wide[i] = static_cast<wchar_t>(static_cast<unsigned char>(units[2 * i]) |
                                     (static_cast<unsigned char>(units[2 * i + 1]) << 8));
    }
    char narrow[4];
    BOOL usedDefault = FALSE;
    const int n = cp ? WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, wide, count, narrow, sizeof narrow, "?",
                                           &usedDefault)
                     : 0;
    if (n <= 0 || usedDefault) {
      out.push_back('?');
    } else {
      out.append(narrow, static_cast<std::size_t>(n));
    }
  }
  return out;
}

#else

std::string cp936ToUtf8(std::string_view bytes) {
  thread_local const Converter converter("UTF-8", "CP936");
  return convert(converter, bytes, "\xEF\xBF\xBD", 1);
}

std::string utf8ToCp936(std::string_view utf8) {
  thread_local const Converter converter("CP936", "UTF-8");
  return convert(converter, utf8, "?", 0);
}

#endif

std::size_t nextUtf16Units(std::string_view utf8, std::size_t& pos) {
  const auto cp = decodeUtf8(utf8, pos);
  return (cp && *cp >= 0x10000) ? 2 : 1;
}

std::size_t utf16Length(std::string_view utf8) {
  std::size_t units = 0;
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    units += nextUtf16Units(utf8, pos);
  }
  return units;
}

std::string_view truncateUtf16Units(std::string_view utf8, std::size_t maxUnits) {
  // Every character takes at least as many UTF-8 bytes as UTF-16 units (and a broken byte one
  // unit), so a string no longer in bytes than the limit fits whole: the common case of a long
  // value read through a large buffer costs nothing.
  if (utf8.size() <= maxUnits) {
    return utf8;
  }
  std::size_t units = 0;
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    std::size_t next = pos;
    const auto cp = decodeUtf8(utf8, next);
    const std::size_t width = (cp && *cp >= 0x10000) ? 2 : 1;
    if (units + width > maxUnits) {
      break;
    }
    units += width;
    pos = next;
  }
  return utf8.substr(0, pos);
}

std::string decodeFileText(std::string_view bytes) {
  constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
  constexpr std::string_view kUtf16leBom = "\xFF\xFE";
  if (bytes.substr(0, kUtf16leBom.size()) == kUtf16leBom) {
    return utf16leToUtf8(bytes.substr(kUtf16leBom.size()));
  }
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
    bytes.remove_prefix(kUtf8Bom.size());
    // A BOM promises UTF-8; broken sequences after it show as U+FFFD.
    return isValidUtf8(bytes) ? std::string(bytes) : utf16leToUtf8(utf8ToUtf16le(bytes));
  }
  return isValidUtf8(bytes) ? std::string(bytes) : cp936ToUtf8(bytes);
}

std::string_view trimBlanks(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!s.empty() && blank(s.front())) {
    s.remove_prefix(1);
  }
  while (!s.empty() && blank(s.back())) {
    s.remove_suffix(1);
  }
  return s;
}

}  // namespace quillet::text
