#include "linux/md5.h"

#include <openssl/evp.h>

#include <array>

namespace quillet {

std::optional<std::string> md5Hex(std::string_view bytes) {
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int length = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_md5(), nullptr) != 1 || length != 16) {
    return std::nullopt;
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(2 * length);
  for (unsigned int i = 0; i < length; ++i) {
    out.push_back(kDigits[digest[i] >> 4]);
    out.push_back(kDigits[digest[i] & 0x0F]);
  }
  return out;
}

}  // namespace quillet
