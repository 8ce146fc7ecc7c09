#pragma once
// The one way the mouse's memory is written: a block write of a few bytes at a 16-bit address.
// The device protocol implements it; the download and the live adjustment first plan the blocks
// they give (PlannedBlock), then send them through one loop (sendBlocks). BlockRecorder keeps
// the writes instead of making them (a dry run, the tests); quilletctl plan prints them.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace quillet {

class BlockWriter {
 public:
  virtual ~BlockWriter() = default;
  // Writes `data` into device memory from `address` on, as one uninterruptible transaction.
  // Returns false when the mouse could not be reached (the caller may ignore it, as the
  // download does; a user waiting on the result is told).
  [[nodiscard]] virtual bool writeBlock(std::uint16_t address, std::span<const std::uint8_t> data) = 0;
};

// One block write: 8 bytes at most.
struct PlannedBlock {
  std::uint16_t address = 0;
  std::vector<std::uint8_t> bytes;
  bool operator==(const PlannedBlock&) const = default;
};

// Keeps every block write, in order, and takes them all.
class BlockRecorder : public BlockWriter {
 public:
  bool writeBlock(std::uint16_t address, std::span<const std::uint8_t> data) override {
    blocks.push_back({address, {data.begin(), data.end()}});
    return true;
  }
  std::vector<PlannedBlock> blocks;
};

// Cuts `bytes` at `address` into blocks of at most 8 bytes and appends them to `blocks`, leaving
// out every block that would pass the end of the mouse's 16 KiB. Returns how many were left out.
int appendBlocks(std::vector<PlannedBlock>& blocks, std::uint32_t address, std::span<const std::uint8_t> bytes);

// Writes every block through `writer` in order, each one even after a block the writer did not
// take, with `progress(sent, total)` after each. Returns how many blocks the writer took.
std::size_t sendBlocks(std::span<const PlannedBlock> blocks, BlockWriter& writer,
                       const std::function<void(std::size_t, std::size_t)>& progress = {});

}  // namespace quillet
