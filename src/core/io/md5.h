#pragma once
// The digest the survey service checks its requests with: MD5 (RFC 1321). The core signs
// through this function type; a backend of the platform computes it.
#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// The MD5 digest of `bytes` as 32 lower-case hexadecimal digits, or nullopt when the platform
// offers no MD5.
using Md5Function = std::optional<std::string> (*)(std::string_view bytes);

}  // namespace quillet
