#include "core/macro/macro_record.h"

#include <algorithm>

#include "core/io/text_codec.h"

namespace quillet {

StepCounts countSteps(const Macro& macro) {
  StepCounts counts;
  const int used = std::min<int>(macro.eventCount, kMacroMaxSteps);
  for (int t = 0; t < used; ++t) {
    switch (macro.events[t].code) {
      case step_code::kMove:
        ++counts.moves;
        break;
      case step_code::kReservedF7:
        ++counts.reservedF7;
        break;
      case step_code::kCpi:
        ++counts.cpi;
        break;
      case step_code::kReservedFA:
        ++counts.reservedFA;
        break;
      case step_code::kLed:
        ++counts.led;
        break;
      case step_code::kReservedFB:
        ++counts.reservedFB;
        break;
      default:
        break;
    }
  }
  return counts;
}

bool countersAgree(const Macro& macro) {
  const StepCounts actual = countSteps(macro);
  const StepCounts stored{macro.moveCount, macro.reservedF7Count, macro.cpiCount,
                          macro.reservedFACount, macro.ledCount, macro.reservedFBCount};
  return macro.eventCount <= kMacroMaxSteps && actual == stored;
}

void recountSteps(Macro& macro) {
  const StepCounts counts = countSteps(macro);
  macro.moveCount = counts.moves;
  macro.reservedF7Count = counts.reservedF7;
  macro.cpiCount = counts.cpi;
  macro.reservedFACount = counts.reservedFA;
  // At most 180 steps in use, so the two byte-wide counters cannot overflow.
  macro.ledCount = static_cast<std::uint8_t>(counts.led);
  macro.reservedFBCount = static_cast<std::uint8_t>(counts.reservedFB);
}

void normaliseMacro(Macro& macro, int maxSteps) {
  maxSteps = std::clamp(maxSteps, 0, kMacroMaxSteps);
  if (macro.eventCount > maxSteps) {
    macro.eventCount = static_cast<std::uint16_t>(maxSteps);
  }
  std::fill(macro.events.begin() + macro.eventCount, macro.events.end(), MacroEvent{});
  recountSteps(macro);
  macro.name[kMacroNameUnits - 1] = 0;
  macro.ledRowsB = {};
  for (LedRow& row : macro.ledRows) {
    row.bytes[0] = static_cast<std::uint8_t>(std::min<int>(row.bytes[0], kLedRowMaxEntries));
  }
}

std::string macroName(const Macro& macro) {
  std::string bytes;
  for (char16_t unit : macro.name) {
    if (unit == 0) {
      break;
    }
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return text::utf16leToUtf8(bytes);
}

bool setMacroName(Macro& macro, std::string_view utf8) {
  const std::string bytes = text::utf8ToUtf16le(utf8);
  const std::size_t units = bytes.size() / 2;
  if (units > static_cast<std::size_t>(kMacroNameMaxChars)) {
    return false;
  }
  macro.name = {};
  for (std::size_t i = 0; i < units; ++i) {
    macro.name[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                          (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  return true;
}

void clearSlot(OpenGroup& group, int index) {
  if (index >= 0 && index < kOpenGroupSlots) {
    group.slots[index] = Macro{};
  }
}

void clearAllSlots(OpenGroup& group) {
  group.slots.fill(Macro{});
  group.count = 0;
}

}  // namespace quillet
