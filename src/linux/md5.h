#pragma once
// MD5 (RFC 1321) through OpenSSL's EVP interface: the digest the survey service checks its
// requests with.
#include <optional>
#include <string>
#include <string_view>

#include "core/io/md5.h"

namespace quillet {

// The MD5 digest of `bytes` as 32 lower-case hexadecimal digits, or nullopt when the crypto
// library offers no MD5 (a library restricted to approved algorithms refuses it).
std::optional<std::string> md5Hex(std::string_view bytes);

}  // namespace quillet
