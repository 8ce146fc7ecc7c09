#pragma once
// Group files (*.dat) and constMacro.dat: INI text, section [Macros], key macroNum with the
// number of macros and keys 0, 1, ... with one serialised Macro each.
//
// A serialised Macro is 1,815 byte values, each written as exactly three decimal digits
// (5,445 characters, no separators), in the order of kMacroValueLayout below. Key codes are
// written in their Windows virtual-key form (UsageToVk) and turned back when read.
//
// Character counts (the read limits below, the name) are UTF-16 code units, as the Windows
// wide-character profile functions count them: INI text is UTF-8 here, and a value holding
// non-ASCII characters is cut into its three-character pieces by code unit, not by byte. A file
// the Windows utility wrote as ANSI (CP936) is decoded before anything is counted, so a Chinese
// character counts one unit there too, not its two bytes; no limit is counted in bytes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/macro/macro_record.h"

namespace quillet {

class MessageService;

// Where each field of a Macro lies among the serialised values. 16-bit fields are low byte
// first.
namespace macro_values {
constexpr std::size_t kName = 0;  // 20 bytes: the UTF-16LE units of the name
constexpr std::size_t kNameBytes = 2 * kMacroNameUnits;
constexpr std::size_t kPlayMode = 20;
constexpr std::size_t kLoopCount = 21;
constexpr std::size_t kEventCount = 23;
constexpr std::size_t kMoveCount = 25;
constexpr std::size_t kReservedF7Count = 27;
constexpr std::size_t kCpiCount = 29;
constexpr std::size_t kReservedFACount = 31;
constexpr std::size_t kLedCount = 33;
constexpr std::size_t kReservedFBCount = 34;
constexpr std::size_t kHeaderValues = 35;
constexpr std::size_t kSteps = 35;  // step t at kSteps + kStepValues * t
constexpr std::size_t kStepValues = 8;
// Within a step:
constexpr std::size_t kStepType = 0;
constexpr std::size_t kStepCode = 1;  // in file form
constexpr std::size_t kStepX = 2;
constexpr std::size_t kStepY = 4;
constexpr std::size_t kStepDelay = 6;
constexpr std::size_t kLedRows = kSteps + kStepValues * kMacroMaxSteps;
constexpr std::size_t kCount = kLedRows + kLedRowBytes * kLedRowCount;
static_assert(kNameBytes == kPlayMode);
static_assert(kLedRows == 1475 && kCount == 1815);

constexpr std::size_t kDigits = 3;
constexpr std::size_t kTextChars = kCount * kDigits;  // 5,445
static_assert(kTextChars == 5445);
}  // namespace macro_values

using MacroValues = std::array<std::uint8_t, macro_values::kCount>;

// Read limits: the buffer sizes of the reads, so one character fewer comes back.
constexpr std::size_t kGroupValueBuffer = 19395;
constexpr std::size_t kBuiltinValueBuffer = 1464;  // header and the first 56 steps only
constexpr std::size_t kMacroNumBuffer = 3;         // at most two digits
constexpr std::size_t kMacroNameValueChars = macro_values::kNameBytes * macro_values::kDigits;  // 60

inline constexpr const char* kMacrosSection = "Macros";
inline constexpr const char* kMacroNumKey = "macroNum";
// Shown when a group file or constMacro.dat is missing ("configuration file not found").
inline constexpr const char* kMsgMacroFileMissing = "找不到配置文件";

// The values of a record; codes in file form.
MacroValues encodeMacro(const Macro& macro);
// The record of the values, normalised (normaliseMacro with `maxSteps`).
Macro decodeMacro(const MacroValues& values, int maxSteps = kMacroMaxSteps);

// The 5,445-character text of a record.
std::string serialiseMacro(const Macro& macro);
// A value as read from a file: cut into three-character pieces from its start; a piece counts
// its leading decimal digits (none: 0), keeps the low byte of what they give, and a missing
// piece is 0; pieces after the 1,815th are ignored. Never fails; the result is normalised.
Macro parseMacroValue(std::string_view value, int maxSteps = kMacroMaxSteps);
// The value pieces alone, as parseMacroValue cuts them.
MacroValues parseMacroValues(std::string_view value);

// macroNum of a file, read as the system reads it (two digits at most); 0 when missing.
int readMacroNum(const std::filesystem::path& file);

// Reads macroNum into group.count and keys 0..count-1 into slots 0..count-1; other slots stay
// as they are. A macroNum above 12 loads the first 12 macros and ignores the rest; one below 0
// loads none. A missing file shows kMsgMacroFileMissing and leaves count 0. Returns whether
// the file exists.
bool readGroupFile(const std::filesystem::path& file, OpenGroup& group, MessageService& messages);

// Fills the built-in macros from constMacro.dat. Values are read as the short buffer lets
// them (so at most 56 steps and no LED data survive); a macroNum above 13 loads 13. A missing
// file shows kMsgMacroFileMissing and leaves count 0.
bool readBuiltinMacros(const std::filesystem::path& file, BuiltinMacros& builtins, MessageService& messages);

// Writes macroNum = group.count and slot `index` under its key, as one atomic write; the
// file's other keys stay. Creates the file when missing. False when the index is outside the
// table or the write fails (the file is then unchanged).
[[nodiscard]] bool writeMacro(const std::filesystem::path& file, const OpenGroup& group, int index);

// Writes macroNum = group.count and keys 0..count-1, dropping keys left from earlier saves
// of that section (the export: the file holds the group as it is in memory).
[[nodiscard]] bool writeAllMacros(const std::filesystem::path& file, const OpenGroup& group);

}  // namespace quillet
