#pragma once
// The commands of the step list's context menu, by their command IDs (the same in both
// languages), and what each inserts or edits. The menu's texts are the window's (ui/step_menu).
#include <cstdint>
#include <optional>

#include "core/macro/macro_record.h"
#include "core/macro/step_edit.h"

namespace quillet {

namespace step_command {
// Mouse-button presses and releases, before the selected step ...
constexpr int kLeftPressBefore = 32807;
constexpr int kLeftReleaseBefore = 32808;
constexpr int kRightPressBefore = 32809;
constexpr int kRightReleaseBefore = 32810;
constexpr int kMiddlePressBefore = 32811;
constexpr int kMiddleReleaseBefore = 32812;
// ... and after it.
constexpr int kLeftPressAfter = 32813;
constexpr int kLeftReleaseAfter = 32814;
constexpr int kRightPressAfter = 32815;
constexpr int kRightReleaseAfter = 32816;
constexpr int kMiddlePressAfter = 32817;
constexpr int kMiddleReleaseAfter = 32818;
// Pointer moves of types 3..6 (X-,Y-; X-,Y+; X+,Y-; X+,Y+), after the selected step.
constexpr int kMoveLeftUp = 32791;
constexpr int kMoveLeftDown = 32792;
constexpr int kMoveRightUp = 32793;
constexpr int kMoveRightDown = 32794;
constexpr int kCpiSet = 32797;
constexpr int kCpiReset = 32798;
constexpr int kLed = 32799;
constexpr int kPause = 32803;
// Edits of the selected line.
constexpr int kChangeParameters = 32804;
constexpr int kModifyDelay = 32805;
constexpr int kDeleteStep = 32806;
}  // namespace step_command

enum class InsertPlace : std::uint8_t { Before, After };

// A command that inserts a step: the step (its delay is set on insertion) and where it goes.
struct StepInsertCommand {
  MacroEvent step;
  InsertPlace place = InsertPlace::After;
};

// The step a menu command inserts, or nullopt for a command that inserts none (the edits, the
// delete, an unknown ID).
constexpr std::optional<StepInsertCommand> stepInsertOf(int command) {
  using namespace step_command;
  constexpr std::uint8_t kButtons[3] = {step_code::kMouseLeft, step_code::kMouseRight, step_code::kMouseMiddle};
  if (command >= kLeftPressBefore && command <= kMiddleReleaseAfter) {
    const int i = command - kLeftPressBefore;  // 0..11: before L↓ L↑ R↓ R↑ M↓ M↑, then after
    const std::uint8_t type = i % 2 == 0 ? step_type::kPress : step_type::kRelease;
    return StepInsertCommand{{type, kButtons[(i % 6) / 2], 0, 0, 0}, i < 6 ? InsertPlace::Before : InsertPlace::After};
  }
  switch (command) {
    case kMoveLeftUp:
    case kMoveLeftDown:
    case kMoveRightUp:
    case kMoveRightDown:
      return StepInsertCommand{{static_cast<std::uint8_t>(step_type::kMoveLeftUp + (command - kMoveLeftUp)),
                                step_code::kMove, kInsertedMoveDistance, kInsertedMoveDistance, 0},
                               InsertPlace::After};
    case kCpiSet:
      return StepInsertCommand{{step_type::kCpiSet, step_code::kCpi, 4, 0, 0}, InsertPlace::After};  // 800
    case kCpiReset:
      return StepInsertCommand{{step_type::kCpiReset, step_code::kCpi, 4, 0, 0}, InsertPlace::After};
    case kLed:
      return StepInsertCommand{{step_type::kLed0, step_code::kLed, 0, 0, 0}, InsertPlace::After};
    case kPause:
      return StepInsertCommand{{step_type::kNone, step_code::kPause, 0, 0, 0}, InsertPlace::After};
    default:
      return std::nullopt;
  }
}

}  // namespace quillet
