#pragma once
// The operations that change a macro's steps: insert a step, insert and remove an LED step with
// its lighting row, remove a step, set the pause after a step (splitting long pauses into pause
// steps). Each checks its limits before it changes anything and leaves the record within its
// invariants: the counters count the steps in use, every step from eventCount on is zero, and
// the n-th LED step uses row n.
#include <cstdint>

#include "core/macro/macro_record.h"

namespace quillet {

constexpr std::uint16_t kInsertedStepDelay = 5;
// The longest pause one step plays: the device image counts pauses in 127 steps of 10 ms.
constexpr int kPauseStepMs = 1270;
// The longest pause a pause line takes; a longer one is cut to it.
constexpr int kMaxPauseMs = 10 * kPauseStepMs;
constexpr int kMaxMoveDistance = 100;
// A new move goes 10 in each direction of its type.
constexpr std::int16_t kInsertedMoveDistance = 10;

enum class StepChange : std::uint8_t {
  Done,
  StepLimit,     // the macro holds 180 steps
  KindLimit,     // the step's kind is at its limit (50 moves, 5 CPI steps, 5 LED steps)
  Inconsistent,  // the LED steps are not numbered as their rows (only a damaged file does that)
  NoStep,        // there is no step there
};

// The limit of a step code's kind (moves 50, CPI 5, LED 5, the reserved kinds 5), or 0 when the
// kind has none besides the 180 steps.
int kindLimit(std::uint8_t code);

// Inserts `step` at `position` (cut to 0..eventCount) with the inserted delay; the steps from
// there on move up one place and the kind's counter grows. An LED step is inserted as insertLedStep does.
StepChange insertStep(Macro& macro, int position, MacroEvent step);

// Inserts an LED step (LED0) at `position`: it takes the row after the nearest LED step before
// it (row 0 when there is none), a fresh row (one entry, all else zero); the LED steps after it
// move up one row with their data. The LED limit is checked first (KindLimit), then the step
// limit.
StepChange insertLedStep(Macro& macro, int position);

// Removes step `step`: the later steps move down one place and the last slot becomes zero. A
// removed LED step takes its row with it: the later LED steps move down one row with their data
// and the last row in use becomes zero (the same for the reserved lighting steps of code 251).
StepChange removeStep(Macro& macro, int step);

// Sets the pause after step `step` to `ms` (cut to 0..12700). A pause of 1270 ms or more is
// split: the step keeps 1270 ms, then pause steps of 1270 ms follow for the further whole parts
// and one pause step with the rest. A part that would pass the 180 steps is dropped.
struct PauseChange {
  bool done = false;     // the step exists
  bool clamped = false;  // ms was above 12700
  int dropped = 0;       // parts that did not fit
};
PauseChange setPauseAfter(Macro& macro, int step, int ms);

}  // namespace quillet
