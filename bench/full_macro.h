#pragma once
// A macro at its largest, for the benchmarks: 180 steps of every kind the editor makes.
#include <string>

#include "core/macro/macro_record.h"

namespace quillet::bench {

// 180 steps: 50 moves, 5 CPI steps, 5 LED steps with full rows, the rest key presses and
// releases, with a different seed for each macro.
inline Macro fullMacro(int seed) {
  Macro m;
  setMacroName(m, "full" + std::to_string(seed % 100));
  m.loopCount = 3;
  for (int t = 0; t < kMacroMaxSteps; ++t) {
    MacroEvent& e = m.events[t];
    e.delay = static_cast<std::uint16_t>(10 + (t * 7 + seed) % 500);
    if (t % 3 == 1 && countSteps(m).moves < kMacroMaxMoves) {
      e = {step_type::kMoveRightDown, step_code::kMove, static_cast<std::int16_t>(t % 100), 4, e.delay};
    } else if (t % 30 == 2) {
      e = {step_type::kCpiSet, step_code::kCpi, 4, 0, e.delay};
    } else if (t % 30 == 5) {
      e = {step_type::kLed0, step_code::kLed, static_cast<std::int16_t>(countSteps(m).led), 0, e.delay};
    } else {
      e = {static_cast<std::uint8_t>(t % 2 == 0 ? step_type::kPress : step_type::kRelease),
           static_cast<std::uint8_t>(4 + (t + seed) % 40), 0, 0, e.delay};
    }
    m.eventCount = static_cast<std::uint16_t>(t + 1);
  }
  for (LedRow& row : m.ledRows) {
    row.bytes[0] = kLedRowMaxEntries;
    for (int i = kLedRowHeaderBytes; i < kLedRowBytes; ++i) {
      row.bytes[i] = static_cast<std::uint8_t>(i);
    }
  }
  recountSteps(m);
  return m;
}

}  // namespace quillet::bench
