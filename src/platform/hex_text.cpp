#include "platform/hex_text.h"

namespace quillet {

std::string hexBytes(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
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
