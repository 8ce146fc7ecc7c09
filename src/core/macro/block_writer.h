#pragma once
// The one way the mouse's memory is written: a block write of a few bytes at a 16-bit address.
// The device link implements it over the command protocol; tests record the calls; quilletctl
// plan prints them.
#include <cstdint>
#include <span>

namespace quillet {

class BlockWriter {
 public:
  virtual ~BlockWriter() = default;
  // Writes `data` into device memory from `address` on, as one uninterruptible transaction.
  // Returns false when the mouse could not be reached (the caller may ignore it, as the
  // download does; a user waiting on the result is told).
  [[nodiscard]] virtual bool writeBlock(std::uint16_t address, std::span<const std::uint8_t> data) = 0;
};

}  // namespace quillet
