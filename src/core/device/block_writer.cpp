#include "core/device/block_writer.h"

#include <algorithm>

#include "core/device/macro_image.h"

namespace quillet {

int appendBlocks(std::vector<PlannedBlock>& blocks, std::uint32_t address, std::span<const std::uint8_t> bytes) {
  int outside = 0;
  for (std::size_t off = 0; off < bytes.size(); off += device_memory::kBlockBytes) {
    const std::uint32_t at = address + static_cast<std::uint32_t>(off);
    const std::size_t n = std::min<std::size_t>(device_memory::kBlockBytes, bytes.size() - off);
    if (at + n > device_memory::kEnd) {
      ++outside;
      continue;
    }
    const auto piece = bytes.subspan(off, n);
    blocks.push_back({static_cast<std::uint16_t>(at), {piece.begin(), piece.end()}});
  }
  return outside;
}

std::size_t sendBlocks(std::span<const PlannedBlock> blocks, BlockWriter& writer,
                       const std::function<void(std::size_t, std::size_t)>& progress) {
  std::size_t taken = 0;
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    if (writer.writeBlock(blocks[i].address, blocks[i].bytes)) {
      ++taken;
    }
    if (progress) {
      progress(i + 1, blocks.size());
    }
  }
  return taken;
}

}  // namespace quillet
