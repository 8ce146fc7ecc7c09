#pragma once
// The texts of the macro page's three lists: the step list (one line per step and one per pause
// between steps), the LED list (the lighting data of one LED step) and the key names the step
// lines use. The texts are the ones stored habits of users rely on, misspellings included
// ("Unkown", "eeror"); they are UTF-8.
//
// Step list numbering: step 0 is line 0; each later step t takes the pause line 2t - 1 (the
// delay of step t - 1) and its own line 2t. So a line's step is line / 2 in both cases, and an
// odd line is a pause line.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/macro/macro_record.h"
#include "core/settings/app_state.h"

namespace quillet {

constexpr int stepOfLine(int line) { return line / 2; }
constexpr bool isPauseLine(int line) { return line % 2 != 0; }
constexpr int lineOfStep(int step) { return 2 * step; }
// Lines of a macro of `steps` steps: 2 × steps - 1, none without steps.
constexpr int stepLineCount(int steps) { return steps > 0 ? 2 * steps - 1 : 0; }

// The name of a key or mouse-button code: "A".."Z", "1".."9", "0", "F1".."F24", "NUMPAD0".."9",
// "RETURN", …, "L-KEY", "M-KEY", "R-KEY"; "Unkown" for a code without a name.
std::string keyName(std::uint8_t code);
inline constexpr const char* kUnknownKeyName = "Unkown";
// The code a key name stands for: the name as keyName gives it, compared without regard to
// ASCII case and surrounding blanks ("a", " ' " and "'" are all found). nullopt for a text that
// names no key (and for "Unkown").
std::optional<std::uint8_t> keyCodeOfName(std::string_view name);

// The text of one step's line: "[↓]A", "[↑]L-KEY", "[X-]:10,[Y+]:5", "[DPI]:800 ",
// "[DPI]:Reset", "[LED0]:LED-0 Data", "[Delay]", …
std::string stepLineText(const MacroEvent& step);
// The text of a pause line: "    %dms" (four blanks) with the delay of the step before it.
std::string pauseLineText(std::uint16_t delay);
inline constexpr const char* kPressPrefix = "[↓]";
inline constexpr const char* kReleasePrefix = "[↑]";

// The step list of a macro, and the counters its rebuild keeps (recording limits the presses).
struct StepListing {
  std::vector<std::string> lines;
  int pressLines = 0;    // lines of type 1 (key and button presses)
  int releaseLines = 0;  // lines of type 2
};
StepListing listSteps(const Macro& macro);

// The CPI a CPI-set step's index stands for, as its line shows it: 200 for 1, 800 for an index
// the table has no entry for, 1600 for 7 and 8, …
int cpiOfIndex(int index);
// The index a CPI value is stored as (200 → 1, …, 4800 → 15), or nullopt for another value.
std::optional<std::uint8_t> cpiIndexOf(int cpi);

// The index into the lighting-effect name table under which an LED entry's mode byte is shown:
// 1 → 0 "DPI breath", 2 → 1, 3 → 2, 6 → 3, 9 → 5, any other → 4 "Single water".
int ledModeNameIndex(std::uint8_t mode);

// The LED list of one row: "[LEN     ]:%d" (five blanks), then per entry a mode, a colour and a
// time line and, for every entry after the first, the time line again before it. Only the first
// entry's values are shown ("[Mode]:Constantly", "[Colour]:Colour3", "[Time]:2s"); the lines
// of later entries have empty values. `modeNames` is the lighting-effect name table of the
// language (NameTables::lightingModeNames).
std::vector<std::string> listLedRow(const LedRow& row, const std::array<std::string, kLightingModeNameCount>& modeNames);
// The LED list's lines that act: line 1 opens the effect popup, line 2 the colour popup, line 3
// (the first time line) is edited in place.
constexpr int kLedModeLine = 1;
constexpr int kLedColourLine = 2;
constexpr int kLedTimeLine = 3;

}  // namespace quillet
