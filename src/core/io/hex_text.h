#pragma once
// Bytes as the logs and traces show them: upper-case two-digit hex, separated by single spaces.
#include <cstdint>
#include <span>
#include <string>

namespace quillet {

std::string hexBytes(std::span<const std::uint8_t> bytes);

// `value` in upper-case hex, zero-padded to at least `digits` digits ("%0*X").
std::string hexDigits(unsigned value, int digits);

}  // namespace quillet
