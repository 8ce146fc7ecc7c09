// Any bytes as the simulated mouse's memory: the first two bytes choose where the image starts
// and how many steps the walk may take, the rest fill the memory from address 0. The walk, the
// decoded configuration and a press of every button must stay inside the memory and end.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "config_map.h"
#include "firmware.h"
#include "image_walk.h"

using namespace quillet::sim;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) {
    return 0;
  }
  std::vector<std::uint8_t> memory(kMemoryBytes, 0);
  std::copy_n(data + 2, std::min(size - 2, memory.size()), memory.begin());
  // Images near the end of the memory are the interesting ones: the address counts back from it.
  const std::uint32_t address = static_cast<std::uint32_t>(kMemoryBytes - 1 - (data[0] | (data[1] & 0x3F) << 8));
  const ImageWalk walk = walkImage(memory, address, 8191);
  if (walk.steps.size() > 8191) {
    std::abort();
  }
  for (const ImageStep& step : walk.steps) {
    (void)stepLines(step);
  }
  (void)describeConfiguration(memory);

  // The same bytes written into a firmware through its block write, then every button pressed.
  Firmware fw;
  for (std::size_t at = 0; at + 8 <= std::min(size - 2, memory.size()); at += 8) {
    const auto lo = static_cast<std::uint8_t>(at & 0xFF);
    const auto hi = static_cast<std::uint8_t>(at >> 8);
    for (std::uint8_t i = 0; i < 8; ++i) {
      const std::uint8_t report[8] = {0x07, 0x18, 0x03, i, lo, hi, memory[at + i], 7};
      fw.receive(report);
    }
    const std::uint8_t commit[8] = {0x07, 0x18, 0x09, 0x00, lo, hi, 0x00, 7};
    fw.receive(commit);
  }
  for (int b = 0; b < kButtons; ++b) {
    (void)fw.press(b);
    (void)fw.release(b);
    if (fw.takePlayLog().size() > 4 * static_cast<std::size_t>(kMaxStepsPerPress)) {
      std::abort();
    }
  }
  (void)fw.describe();
  return 0;
}
