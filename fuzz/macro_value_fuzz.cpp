// The macro value parser on arbitrary text, as a group file or constMacro.dat may hold it.
// Whatever the text, the record must come out within its invariants, survive an encoding and a
// decoding of its values unchanged (the text of a written record is the digit table of those
// values, which the unit tests read back), and give an image that stays within the size it was
// given.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/device/macro_adjustment.h"
#include "core/device/macro_image.h"
#include "core/macro/macro_file.h"

namespace {

using namespace quillet;

void check(bool ok) {
  if (!ok) {
    std::abort();
  }
}

void checkRecord(const Macro& m, int maxSteps) {
  check(m.eventCount <= maxSteps);
  check(countersAgree(m));
  check(m.name[kMacroNameUnits - 1] == 0);
  for (int t = m.eventCount; t < kMacroMaxSteps; ++t) {
    check(m.events[t] == MacroEvent{});
  }
  for (const LedRow& row : m.ledRows) {
    check(row.bytes[0] <= kLedRowMaxEntries);
  }
  check(m.ledRowsB == decltype(m.ledRowsB){});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  // One cut of the text, decoded as a group file's record and as a built-in one (which is what
  // parseMacroValue does for each).
  const MacroValues values = parseMacroValues(text);
  const Macro m = decodeMacro(values);
  checkRecord(m, kMacroMaxSteps);
  check(decodeMacro(encodeMacro(m)) == m);
  if (size % 2 != 0) {
    // Every other input as constMacro.dat's record too (one decoding costs what the rest does).
    checkRecord(decodeMacro(values, kBuiltinMacroMaxSteps), kBuiltinMacroMaxSteps);
  }

  // The first byte picks where the image lies, from the image area to past the end of the
  // mouse's memory, where LED data must stop the image.
  const std::uint32_t address = device_memory::kImageArea + 64u * (size > 0 ? data[0] : 0u);
  for (LoopWord loop : {LoopWord::ByPlayMode, LoopWord::LoopCount}) {
    const MacroImage image = buildMacroImage(m, address, loop);
    check(image.bytes.size() == macroImageSize(m));
    check(image.bytes.size() % 8 == 0 && image.bytes.size() <= kMaxMacroImageBytes);
    check(image.notices.empty() || m.ledCount > 0);
  }
  Macro adjusted = m;
  adjustMoves(adjusted, size % 2 == 0);
  check(countersAgree(adjusted));
  return 0;
}
