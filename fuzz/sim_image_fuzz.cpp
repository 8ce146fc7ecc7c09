// Any bytes as the simulated mouse's memory: the first two bytes choose where the image starts,
// how many steps the walk may take and which button is pressed; the rest are patches of a memory
// that is zero elsewhere: offset (two bytes, low first), length (one byte), the bytes. The walk, the decoded configuration and the press must stay inside the memory and
// end.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "config_map.h"
#include "core/device/macro_image.h"
#include "firmware.h"
#include "image_walk.h"

using namespace quillet::sim;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) {
    return 0;
  }
  // The memory: zero but for the patches the input gives, so that an input names only the few
  // bytes an image and its descriptor take, wherever they lie.
  static std::array<std::uint8_t, kMemoryBytes> memory;
  memory.fill(0);
  for (std::size_t at = 2; at + 3 <= size;) {
    const std::size_t offset = (data[at] | data[at + 1] << 8) % kMemoryBytes;
    const std::size_t length = std::min<std::size_t>({data[at + 2], size - at - 3, kMemoryBytes - offset});
    std::copy_n(data + at + 3, length, memory.begin() + static_cast<std::ptrdiff_t>(offset));
    at += 3 + length;
  }
  // Images near the end of the memory are the interesting ones: the address counts back from it.
  const std::uint32_t address = static_cast<std::uint32_t>(kMemoryBytes - 1 - (data[0] | (data[1] & 0x3F) << 8));
  const std::size_t limit = std::size_t{8} << (data[1] >> 6);  // 8 .. 64 steps
  const ImageWalk walk = walkImage(memory, address, limit);
  if (walk.steps.size() > limit) {
    std::abort();
  }
  for (const ImageStep& step : walk.steps) {
    (void)stepLines(step);
  }
  // The same bytes in a firmware, the configuration area written through its block write (which
  // the download uses), then one button pressed and the whole state described.
  constexpr int kStepsPerPress = 64;
  Firmware fw(0, kStepsPerPress);
  fw.loadMemory(memory);
  for (std::size_t at = 0; at + 8 <= quillet::device_memory::kDescriptorTable; at += 8) {
    const auto lo = static_cast<std::uint8_t>(at & 0xFF);
    const auto hi = static_cast<std::uint8_t>(at >> 8);
    for (std::uint8_t i = 0; i < 8; ++i) {
      const std::uint8_t report[8] = {0x07, 0x18, 0x03, i, lo, hi, memory[at + i], 7};
      fw.receive(report);
    }
    const std::uint8_t commit[8] = {0x07, 0x18, 0x09, 0x00, lo, hi, 0x00, 7};
    fw.receive(commit);
  }
  const int button = (data[1] >> 3) & 7;  // bits that also place the image: any press goes
  (void)fw.press(button);
  (void)fw.release(button);
  if (fw.takePlayLog().size() > 4 * static_cast<std::size_t>(kStepsPerPress)) {
    std::abort();
  }
  if (size % 16 == 0) {
    (void)fw.describe();  // the whole state as text, for one input in sixteen: it costs the most
  }
  return 0;
}
