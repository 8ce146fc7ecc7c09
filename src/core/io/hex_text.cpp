#include "core/io/hex_text.h"

namespace quillet {

namespace {
constexpr char kDigits[] = "0123456789ABCDEF";
}  // namespace

std::string hexDigits(unsigned value, int digits) {
  std::string out;
  do {
    out.insert(out.begin(), kDigits[value & 0x0F]);
    value >>= 4;
  } while (value != 0);
  if (static_cast<int>(out.size()) < digits) {
    out.insert(0, static_cast<std::size_t>(digits) - out.size(), '0');
  }
  return out;
}

std::string hexBytes(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size() * 3);
  for (std::uint8_t b : bytes) {
    if (!out.empty()) {
      out += ' ';
    }
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
  }
  return out;
}

}  // namespace quillet
