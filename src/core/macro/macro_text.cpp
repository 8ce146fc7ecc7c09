#include "core/macro/macro_text.h"

#include <algorithm>
#include <cstdio>

#include "core/io/text_codec.h"

namespace quillet {

namespace {

struct NamedKey {
  std::uint8_t code;
  const char* name;
};

// The codes with a name of their own; the letters, digits, F-keys and the numeric pad's digits
// follow rules (keyName).
constexpr NamedKey kNamedKeys[] = {
    {40, "RETURN"},     {41, "ESCAPE"},   {42, "BACKSPACE"}, {43, "TAB"},       {44, "SPACE"},
    {45, "-"},          {46, "+"},        {47, "[{"},        {48, "]}"},        {49, "\\|"},
    {51, ";:"},         {52, " ' "},      {53, "`~"},        {54, ","},         {55, "."},
    {56, "/?"},         {57, "CAPITAL"},  {70, "SNAPSHOT"},  {71, "SCROLL"},    {72, "PAUSE"},
    {73, "INSERT"},     {74, "HOME"},     {75, "PRIOR"},     {76, "DELETE"},    {77, "END"},
    {78, "NEXT"},       {79, "RIGHT"},    {80, "LEFT"},      {81, "DOWN"},      {82, "UP"},
    {83, "NUMLOCK"},    {84, "DIVIDE"},   {85, "MULTIPLY"},  {86, "SUBTRACT"},  {87, "ADD"},
    {98, "NUMPAD0"},    {99, "DECIMAL"},  {101, "APPS"},     {116, "EXECUTE"},  {117, "HELP"},
    {118, "MENU"},      {119, "SELECT"},  {156, "CLEAR"},    {159, "SEPARATOR"}, {224, "LCONTROL"},
    {225, "LSHIFT"},    {226, "LMENU"},   {227, "LWIN"},     {228, "RCONTROL"}, {229, "RSHIFT"},
    {230, "RMENU"},     {231, "RWIN"},    {241, "L-KEY"},    {242, "M-KEY"},    {243, "R-KEY"},
    {39, "0"},
};

// CPI-set index → CPI shown: 1..15, with 8, 10 and 12 read as the step below.
constexpr std::array<int, 16> kCpiOfIndex{800, 200, 400, 600, 800, 1000, 1200, 1600,
                                          1600, 2000, 2000, 2400, 2400, 3200, 4000, 4800};
// The values a CPI line may be edited to, and the index each is stored as.
constexpr std::array<std::pair<int, std::uint8_t>, 12> kCpiIndexes{
    {{200, 1}, {400, 2}, {600, 3}, {800, 4}, {1000, 5}, {1200, 6}, {1600, 7}, {2000, 9}, {2400, 11}, {3200, 13},
     {4000, 14}, {4800, 15}}};

std::string printed(const char* format, int a) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, format, a);
  return buffer;
}

std::string printed(const char* format, int a, int b) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, format, a, b);
  return buffer;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  const auto up = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return up(x) == up(y); });
}

}  // namespace

std::string keyName(std::uint8_t code) {
  if (code >= 4 && code <= 29) {
    return std::string(1, static_cast<char>(code + 61));
  }
  if (code >= 30 && code <= 38) {
    return std::to_string(code - 29);
  }
  if (code >= 58 && code <= 69) {
    return "F" + std::to_string(code - 57);
  }
  if (code >= 89 && code <= 97) {
    return "NUMPAD" + std::to_string(code - 88);
  }
  if (code >= 104 && code <= 115) {
    return "F" + std::to_string(code - 91);
  }
  for (const NamedKey& k : kNamedKeys) {
    if (k.code == code) {
      return k.name;
    }
  }
  return kUnknownKeyName;
}

std::optional<std::uint8_t> keyCodeOfName(std::string_view name) {
  const std::string_view wanted = text::trimBlanks(name);
  if (wanted.empty()) {
    return std::nullopt;
  }
  // Every code once, so that the names and the table can never disagree.
  for (int code = 1; code < 256; ++code) {
    const std::string n = keyName(static_cast<std::uint8_t>(code));
    if (n != kUnknownKeyName && sameIgnoringCase(text::trimBlanks(n), wanted)) {
      return static_cast<std::uint8_t>(code);
    }
  }
  return std::nullopt;
}

int cpiOfIndex(int index) {
  return index >= 1 && index < static_cast<int>(kCpiOfIndex.size()) ? kCpiOfIndex[static_cast<std::size_t>(index)]
                                                                      : kCpiOfIndex[0];
}

std::optional<std::uint8_t> cpiIndexOf(int cpi) {
  for (const auto& [value, index] : kCpiIndexes) {
    if (value == cpi) {
      return index;
    }
  }
  return std::nullopt;
}

std::string stepLineText(const MacroEvent& e) {
  switch (e.code) {
    case step_code::kMove:
      switch (e.type) {
        case step_type::kMoveLeftUp:
          return printed("[X-]:%d,[Y-]:%d", e.x, e.y);
        case step_type::kMoveLeftDown:
          return printed("[X-]:%d,[Y+]:%d", e.x, e.y);
        case step_type::kMoveRightUp:
          return printed("[X+]:%d,[Y-]:%d", e.x, e.y);
        case step_type::kMoveRightDown:
          return printed("[X+]:%d,[Y+]:%d", e.x, e.y);
        default:
          return "[X]:eeror,[Y]:eeror";
      }
    case step_code::kCpi:
      switch (e.type) {
        case step_type::kCpiSet:
          return printed("[DPI]:%d ", cpiOfIndex(e.x));
        case step_type::kCpiReset:
          return "[DPI]:Reset";
        default:
          return "[DPI]:Error";
      }
    case step_code::kLed:
      switch (e.type) {
        case step_type::kLed0:
          return printed("[LED0]:LED-%d Data", e.x);
        case step_type::kLed1:
          return printed("[LED1]:LED-%d Data", e.x);
        case step_type::kLed2:
          return printed("[LED2]:LED-%d Data", e.x);
        default:
          return "[LED0/1/2]:error";
      }
    case step_code::kPause:
      return "[Delay]";
    default:
      break;
  }
  switch (e.type) {
    case step_type::kPress:
      return kPressPrefix + keyName(e.code);
    case step_type::kRelease:
      return kReleasePrefix + keyName(e.code);
    default:
      return keyName(e.code);
  }
}

std::string pauseLineText(std::uint16_t delay) { return printed("    %dms", delay); }

StepListing listSteps(const Macro& macro) {
  StepListing listing;
  const int steps = std::min<int>(macro.eventCount, kMacroMaxSteps);
  listing.lines.reserve(static_cast<std::size_t>(stepLineCount(steps)));
  for (int t = 0; t < steps; ++t) {
    const MacroEvent& e = macro.events[static_cast<std::size_t>(t)];
    if (t > 0) {
      listing.lines.push_back(pauseLineText(macro.events[static_cast<std::size_t>(t - 1)].delay));
    }
    listing.lines.push_back(stepLineText(e));
    // Counted as the lines show them: every type-1 and type-2 line, whatever its code.
    if (e.type == step_type::kPress) {
      ++listing.pressLines;
    } else if (e.type == step_type::kRelease) {
      ++listing.releaseLines;
    }
  }
  return listing;
}

int ledModeNameIndex(std::uint8_t mode) {
  switch (mode) {
    case 1:
      return 0;
    case 2:
      return 1;
    case 3:
      return 2;
    case 6:
      return 3;
    case 9:
      return 5;
    default:
      return 4;
  }
}

std::vector<std::string> listLedRow(const LedRow& row, const std::array<std::string, kLightingModeNameCount>& modeNames) {
  std::vector<std::string> lines;
  const int n = row.bytes[0];
  lines.push_back(printed("[LEN     ]:%d", n));
  // Bytes 4 .. 4n + 2: the mode, colour and time of each entry, the time of the one before
  // repeated in the reserved byte's place. Only the first entry's values are read.
  const int last = 4 * std::min(n, kLedRowMaxEntries) + 2;
  for (int i = 4; i <= last; ++i) {
    std::string value;
    if (i == 4) {
      value = modeNames[static_cast<std::size_t>(ledModeNameIndex(row.bytes[4]))];
    } else if (i == 5) {
      value = printed("Colour%d", row.bytes[5]);
    } else if (i == 6) {
      value = printed("%ds", row.bytes[6] / 10);
    }
    switch (i % 4) {
      case 0:
        lines.push_back("[Mode]:" + value);
        break;
      case 1:
        lines.push_back("[Colour]:" + value);
        break;
      case 2:
        lines.push_back("[Time]:" + value);
        break;
      default:
        lines.push_back(lines.back());
        break;
    }
  }
  return lines;
}

}  // namespace quillet
