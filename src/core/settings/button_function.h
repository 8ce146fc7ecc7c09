#pragma once
// What one mouse button does: a 32-bit code. Below 256 fixed functions and built-in macros;
// 256 * group + macro for a macro of the macro library.
#include <cstdint>

namespace quillet {

using ButtonFunction = std::int32_t;

namespace function_code {

constexpr ButtonFunction kNone = 0;
constexpr ButtonFunction kLeftClick = 1;
constexpr ButtonFunction kFirstMultimedia = 22;
constexpr ButtonFunction kLastMultimedia = 31;
constexpr ButtonFunction kFirstBuiltinMacro = 32;
constexpr ButtonFunction kLastBuiltinMacro = 39;
constexpr ButtonFunction kHold = 40;  // press and release relayed back to the mouse by the host
constexpr ButtonFunction kFirstLibraryMacro = 256;

constexpr bool isMultimedia(ButtonFunction c) { return c >= kFirstMultimedia && c <= kLastMultimedia; }
constexpr bool isBuiltinMacro(ButtonFunction c) { return c >= kFirstBuiltinMacro && c <= kLastBuiltinMacro; }
constexpr bool isLibraryMacro(ButtonFunction c) { return c >= kFirstLibraryMacro; }

// Group (1..10) and macro index (0..11) of a library macro code.
constexpr std::int32_t macroGroup(ButtonFunction c) { return c / 256; }
constexpr std::int32_t macroIndex(ButtonFunction c) { return c % 256; }
constexpr ButtonFunction libraryMacro(std::int32_t group, std::int32_t macro) { return 256 * group + macro; }

}  // namespace function_code
}  // namespace quillet
