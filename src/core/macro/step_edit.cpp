#include "core/macro/step_edit.h"

#include <algorithm>

namespace quillet {

namespace {

int used(const Macro& m) { return std::min<int>(m.eventCount, kMacroMaxSteps); }

// The counter of a step code's kind, or null for the kinds that have none.
std::uint16_t* wideCounter(Macro& m, std::uint8_t code) {
  switch (code) {
    case step_code::kMove:
      return &m.moveCount;
    case step_code::kReservedF7:
      return &m.reservedF7Count;
    case step_code::kCpi:
      return &m.cpiCount;
    case step_code::kReservedFA:
      return &m.reservedFACount;
    default:
      return nullptr;
  }
}

std::uint8_t* narrowCounter(Macro& m, std::uint8_t code) {
  switch (code) {
    case step_code::kLed:
      return &m.ledCount;
    case step_code::kReservedFB:
      return &m.reservedFBCount;
    default:
      return nullptr;
  }
}

int counterOf(Macro& m, std::uint8_t code) {
  if (const std::uint16_t* w = wideCounter(m, code)) {
    return *w;
  }
  if (const std::uint8_t* n = narrowCounter(m, code)) {
    return *n;
  }
  return 0;
}

void countUp(Macro& m, std::uint8_t code) {
  if (std::uint16_t* w = wideCounter(m, code)) {
    ++*w;
  } else if (std::uint8_t* n = narrowCounter(m, code)) {
    ++*n;
  }
}

void countDown(Macro& m, std::uint8_t code) {
  if (std::uint16_t* w = wideCounter(m, code); w != nullptr && *w > 0) {
    --*w;
  } else if (std::uint8_t* n = narrowCounter(m, code); n != nullptr && *n > 0) {
    --*n;
  }
}

// Opens a slot at p (0 <= p <= eventCount < 180) and writes `step` there.
void openSlot(Macro& m, int p, const MacroEvent& step) {
  const int n = used(m);
  std::move_backward(m.events.begin() + p, m.events.begin() + n, m.events.begin() + n + 1);
  m.events[static_cast<std::size_t>(p)] = step;
  ++m.eventCount;
}

bool isRowIndex(int x) { return x >= 0 && x < kLedRowCount; }

// The steps of `code` after `from` drop their row index by one, taking their row data along;
// then the last row in use (`rowsInUse` - 1) becomes zero.
void closeRow(Macro& m, int from, std::uint8_t code, std::array<LedRow, kLedRowCount>& rows, int rowsInUse) {
  for (int t = from; t < used(m); ++t) {
    MacroEvent& e = m.events[static_cast<std::size_t>(t)];
    if (e.code == code && isRowIndex(e.x) && e.x > 0) {
      rows[static_cast<std::size_t>(e.x - 1)] = rows[static_cast<std::size_t>(e.x)];
      --e.x;
    }
  }
  if (isRowIndex(rowsInUse - 1)) {
    rows[static_cast<std::size_t>(rowsInUse - 1)] = LedRow{};
  }
}

}  // namespace

int kindLimit(std::uint8_t code) {
  switch (code) {
    case step_code::kMove:
      return kMacroMaxMoves;
    case step_code::kCpi:
      return kMacroMaxCpiSteps;
    case step_code::kLed:
      return kMacroMaxLedSteps;
    case step_code::kReservedF7:
    case step_code::kReservedFA:
    case step_code::kReservedFB:
      return kMacroMaxReservedSteps;
    default:
      return 0;
  }
}

StepChange insertStep(Macro& m, int position, MacroEvent step) {
  if (step.code == step_code::kLed) {
    return insertLedStep(m, position);  // an LED step comes with its row
  }
  if (used(m) >= kMacroMaxSteps) {
    return StepChange::StepLimit;
  }
  if (const int limit = kindLimit(step.code); limit > 0 && counterOf(m, step.code) >= limit) {
    return StepChange::KindLimit;
  }
  step.delay = kInsertedStepDelay;
  openSlot(m, std::clamp(position, 0, used(m)), step);
  countUp(m, step.code);
  return StepChange::Done;
}

StepChange insertLedStep(Macro& m, int position) {
  if (m.ledCount >= kMacroMaxLedSteps) {
    return StepChange::KindLimit;
  }
  if (used(m) >= kMacroMaxSteps) {
    return StepChange::StepLimit;
  }
  const int p = std::clamp(position, 0, used(m));
  int row = 0;
  for (int t = p - 1; t >= 0; --t) {
    if (m.events[static_cast<std::size_t>(t)].code == step_code::kLed) {
      row = m.events[static_cast<std::size_t>(t)].x + 1;
      break;
    }
  }
  // Every row index involved must lie within the rows in use (and the table); otherwise the
  // steps are numbered apart from their rows and nothing is moved.
  if (row < 0 || row > m.ledCount) {
    return StepChange::Inconsistent;
  }
  for (int t = p; t < used(m); ++t) {
    const MacroEvent& e = m.events[static_cast<std::size_t>(t)];
    if (e.code == step_code::kLed && (e.x < 0 || e.x + 1 > m.ledCount)) {
      return StepChange::Inconsistent;
    }
  }
  // The later LED steps move up one row, the last first, so that no row is overwritten.
  for (int t = used(m) - 1; t >= p; --t) {
    MacroEvent& e = m.events[static_cast<std::size_t>(t)];
    if (e.code == step_code::kLed) {
      m.ledRows[static_cast<std::size_t>(e.x + 1)] = m.ledRows[static_cast<std::size_t>(e.x)];
      ++e.x;
    }
  }
  openSlot(m, p, MacroEvent{step_type::kLed0, step_code::kLed, static_cast<std::int16_t>(row), 0, kInsertedStepDelay});
  m.ledRows[static_cast<std::size_t>(row)] = LedRow::fresh();
  ++m.ledCount;
  return StepChange::Done;
}

StepChange removeStep(Macro& m, int step) {
  const int n = used(m);
  if (step < 0 || step >= n) {
    return StepChange::NoStep;
  }
  const std::uint8_t code = m.events[static_cast<std::size_t>(step)].code;
  if (code == step_code::kLed) {
    closeRow(m, step + 1, code, m.ledRows, m.ledCount);
  } else if (code == step_code::kReservedFB) {
    closeRow(m, step + 1, code, m.ledRowsB, m.reservedFBCount);
  }
  countDown(m, code);
  std::move(m.events.begin() + step + 1, m.events.begin() + n, m.events.begin() + step);
  m.events[static_cast<std::size_t>(n - 1)] = MacroEvent{};
  m.eventCount = static_cast<std::uint16_t>(n - 1);
  return StepChange::Done;
}

PauseChange setPauseAfter(Macro& m, int step, int ms) {
  PauseChange change;
  if (step < 0 || step >= used(m)) {
    return change;
  }
  change.done = true;
  if (ms > kMaxPauseMs) {
    ms = kMaxPauseMs;
    change.clamped = true;
  }
  ms = std::max(ms, 0);  // a pause is never negative
  MacroEvent& e = m.events[static_cast<std::size_t>(step)];
  if (ms < kPauseStepMs) {
    e.delay = static_cast<std::uint16_t>(ms);
    return change;
  }
  const int parts = ms / kPauseStepMs;
  e.delay = kPauseStepMs;
  int at = step + 1;
  auto addPause = [&](int delay) {
    if (used(m) >= kMacroMaxSteps) {
      ++change.dropped;
      return;
    }
    openSlot(m, at++, MacroEvent{step_type::kNone, step_code::kPause, 0, 0, static_cast<std::uint16_t>(delay)});
  };
  for (int part = 2; part <= parts; ++part) {
    addPause(kPauseStepMs);
  }
  addPause(ms - parts * kPauseStepMs);
  return change;
}

}  // namespace quillet
