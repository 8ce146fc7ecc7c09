#pragma once
// The macro record: a fixed-size list of at most 180 steps (key and mouse-button presses and
// releases, pointer moves, CPI changes, lighting steps, pauses) with a name, a play mode and a
// loop count, and the tables that hold macros in memory: the macros of the open group and the
// built-in macros of constMacro.dat.
//
// Every count lives beside its table and is checked before the table changes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillet {

constexpr int kMacroMaxSteps = 180;
constexpr int kMacroMaxMoves = 50;
constexpr int kMacroMaxCpiSteps = 5;
constexpr int kMacroMaxLedSteps = 5;
constexpr int kMacroMaxReservedSteps = 5;  // per reserved step kind (codes 247, 250, 251)
constexpr int kMacroNameUnits = 10;        // UTF-16 code units, the last always the terminator
constexpr int kMacroNameMaxChars = kMacroNameUnits - 1;
constexpr int kLedRowCount = 5;
constexpr int kLedRowBytes = 68;
constexpr int kLedRowMaxEntries = 16;
constexpr int kLedRowHeaderBytes = 4;
constexpr int kLedEntryBytes = 4;
static_assert(kLedRowHeaderBytes + kLedRowMaxEntries * kLedEntryBytes == kLedRowBytes);

constexpr int kGroupMaxMacros = 12;        // macros in one group file
constexpr int kOpenGroupSlots = 13;        // slot 12 stays blank: recording copies it
constexpr int kBuiltinMacroSlots = 13;     // function codes 32..44 except 40
constexpr int kBuiltinMacroMaxSteps = 56;  // what constMacro.dat's short read leaves whole

// The code of a step: a keyboard usage ID (keyboard page of the HID usage tables) or one of these.
namespace step_code {
constexpr std::uint8_t kPause = 0;
constexpr std::uint8_t kMouseLeft = 241;
constexpr std::uint8_t kMouseMiddle = 242;
constexpr std::uint8_t kMouseRight = 243;
constexpr std::uint8_t kMove = 246;
constexpr std::uint8_t kReservedF7 = 247;
constexpr std::uint8_t kCpi = 248;
constexpr std::uint8_t kLed = 249;
constexpr std::uint8_t kReservedFA = 250;
constexpr std::uint8_t kReservedFB = 251;
}  // namespace step_code

// The type of a step; which types go with which code is listed beside each.
namespace step_type {
constexpr std::uint8_t kNone = 0;     // pause
constexpr std::uint8_t kPress = 1;    // key or mouse button
constexpr std::uint8_t kRelease = 2;  // key or mouse button
// Pointer moves: x and y are distances 0..100, the type gives their signs.
constexpr std::uint8_t kMoveLeftUp = 3;     // X-, Y-
constexpr std::uint8_t kMoveLeftDown = 4;   // X-, Y+
constexpr std::uint8_t kMoveRightUp = 5;    // X+, Y-
constexpr std::uint8_t kMoveRightDown = 6;  // X+, Y+
constexpr std::uint8_t kCpiSet = 9;         // x = CPI index
constexpr std::uint8_t kCpiReset = 10;      // back to the CPI in force before the macro; x = 4
constexpr std::uint8_t kLed0 = 13;          // x = index of the step's LedRow
constexpr std::uint8_t kLed1 = 14;
constexpr std::uint8_t kLed2 = 15;
}  // namespace step_type

// playMode: bits 0-1 the mode, bit 2 a flag of mode 0, bit 3 a flag of modes 1 and 2.
//
// What each mode plays follows from what the download sends for it: a button whose macro has
// the play-mode byte 2 gets device function 14 (kDeviceFunctionMacroHeld below), the macro
// function of its own that the mouse serves with the button's release as well as its press, and
// its descriptor sets the mode-2 bit beside the step count; every other macro button gets
// device function 13, mode 1 with the mode-1 bit of its descriptor. So mode 2 is the macro that
// repeats while its button is held, and mode 1 the one that one press starts and the next press
// stops. The macro page's play-mode regions, the layout files' labels, the simulated mouse and
// the README say the same; this is the one place that decides it.
namespace play_mode {
constexpr std::uint8_t kModeMask = 0x03;
constexpr std::uint8_t kLoopCount = 0;  // loopCount rounds per press
constexpr std::uint8_t kToggle = 1;     // a press starts it, the next press stops it; loopCount 1
constexpr std::uint8_t kWhileHeld = 2;  // it repeats while the button is held; loopCount 1
constexpr std::uint8_t kLoopCountFlag = 0x04;
constexpr std::uint8_t kContinuousFlag = 0x08;

constexpr std::uint8_t modeOf(std::uint8_t playMode) { return playMode & kModeMask; }
constexpr bool isContinuous(std::uint8_t playMode) {
  return modeOf(playMode) == kToggle || modeOf(playMode) == kWhileHeld;
}
}  // namespace play_mode

struct MacroEvent {
  std::uint8_t type = 0;
  std::uint8_t code = 0;
  std::int16_t x = 0;
  std::int16_t y = 0;
  std::uint16_t delay = 0;  // milliseconds of pause after this step
  bool operator==(const MacroEvent&) const = default;
};

// The lighting data of one LED step: byte 0 the number of entries in use (1..16), bytes 1-3
// zero, then 16 entries of mode, colour index, time in tenths of a second and a reserved byte.
struct LedRow {
  std::array<std::uint8_t, kLedRowBytes> bytes{};
  bool operator==(const LedRow&) const = default;

  // Entries in use, never more than the row holds.
  int entryCount() const { return bytes[0] < kLedRowMaxEntries ? bytes[0] : kLedRowMaxEntries; }
  // A new row: one entry, everything else zero.
  static LedRow fresh() {
    LedRow row;
    row.bytes[0] = 1;
    return row;
  }
};

struct Macro {
  std::array<char16_t, kMacroNameUnits> name{};  // zero-terminated UTF-16
  std::uint8_t playMode = 0;
  std::uint16_t loopCount = 0;
  std::uint16_t eventCount = 0;
  // Steps of each kind among steps 0..eventCount-1; the device image is sized from them.
  std::uint16_t moveCount = 0;
  std::uint16_t reservedF7Count = 0;
  std::uint16_t cpiCount = 0;
  std::uint16_t reservedFACount = 0;
  std::uint8_t ledCount = 0;
  std::uint8_t reservedFBCount = 0;
  std::array<MacroEvent, kMacroMaxSteps> events{};  // from eventCount on all zero
  std::array<LedRow, kLedRowCount> ledRows{};       // the n-th LED step (x = n) uses row n
  std::array<LedRow, kLedRowCount> ledRowsB{};      // of code-251 steps; never written to a file

  bool operator==(const Macro&) const = default;
};

// The step counters a macro's steps in use call for.
struct StepCounts {
  std::uint16_t moves = 0;
  std::uint16_t reservedF7 = 0;
  std::uint16_t cpi = 0;
  std::uint16_t reservedFA = 0;
  std::uint16_t led = 0;
  std::uint16_t reservedFB = 0;
  bool operator==(const StepCounts&) const = default;
};
StepCounts countSteps(const Macro& macro);
// True when every counter of the record equals the number of its steps.
bool countersAgree(const Macro& macro);
// Sets every counter from the steps in use.
void recountSteps(Macro& macro);

// Brings a record read from outside (a file, a device thread) back within its invariants, so
// that nothing that later walks it can run past its tables:
// - eventCount is cut to `maxSteps` (at most 180) and every step from it on is zeroed;
// - the counters are recomputed from the steps in use (a file whose counters disagree with its
//   steps is read as if they agreed; the steps are what the user made);
// - the tenth name unit is the terminator, and ledRowsB is zero (it is never stored);
// - an LED row claims at most its 16 entries.
void normaliseMacro(Macro& macro, int maxSteps = kMacroMaxSteps);

// The name as UTF-8 (up to the terminator; an unpaired surrogate reads as U+FFFD).
std::string macroName(const Macro& macro);
// Sets the name when it fits in 9 UTF-16 code units; otherwise returns false and leaves the
// name as it was.
bool setMacroName(Macro& macro, std::string_view utf8);

// The device function byte of a button that plays a macro of this play-mode byte: 14 (the
// macro played while held) when the whole byte is 2, otherwise 13.
constexpr std::uint8_t kDeviceFunctionMacro = 13;
constexpr std::uint8_t kDeviceFunctionMacroHeld = 14;
constexpr std::uint8_t kDeviceFunctionConsumerKey = 15;
constexpr std::uint8_t macroDeviceFunction(std::uint8_t playMode) {
  return playMode == play_mode::kWhileHeld ? kDeviceFunctionMacroHeld : kDeviceFunctionMacro;
}
constexpr std::uint8_t macroDeviceFunction(const Macro& macro) { return macroDeviceFunction(macro.playMode); }

// The macros of the group open in the editor. Owned by the user-interface thread.
struct OpenGroup {
  std::array<Macro, kOpenGroupSlots> slots{};
  std::int16_t count = 0;    // 0..12: slots 0..count-1 hold the group's macros in file order
  std::int32_t current = 0;  // the macro shown in the editor
};

// Zeroes one slot; an index outside the table changes nothing.
void clearSlot(OpenGroup& group, int index);
// Zeroes all slots and the count.
void clearAllSlots(OpenGroup& group);

// The built-in macros, read once at start-up and never changed. A button with function code
// 32..44 (except 40) plays macros[code - 32].
struct BuiltinMacros {
  std::array<Macro, kBuiltinMacroSlots> macros{};
  std::int32_t count = 0;
};

}  // namespace quillet
