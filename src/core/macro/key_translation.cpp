#include "core/macro/key_translation.h"

#include <array>
#include <cstddef>

namespace quillet {
namespace {

struct KeyPair {
  std::uint8_t vk;
  std::uint8_t usage;
};

// Runs of consecutive keys: vk first..last map onto usages from `usage` on.
struct KeyRun {
  std::uint8_t firstVk;
  std::uint8_t lastVk;
  std::uint8_t usage;
};

constexpr std::array<KeyRun, 5> kKeyRuns = {{
    {65, 90, 4},     // A-Z
    {49, 57, 30},    // 1-9
    {112, 123, 58},  // F1-F12
    {124, 135, 104}, // F13-F24
    {97, 105, 89},   // numeric pad 1-9
}};

constexpr std::array<KeyPair, 55> kKeyPairs = {{
    {8, 42},     // Backspace
    {9, 43},     // Tab
    {12, 156},   // Clear
    {13, 40},    // Enter
    {19, 72},    // Pause
    {20, 57},    // Caps Lock
    {27, 41},    // Escape
    {32, 44},    // Space
    {33, 75},    // Page Up
    {34, 78},    // Page Down
    {35, 77},    // End
    {36, 74},    // Home
    {37, 80},    // Left
    {38, 82},    // Up
    {39, 79},    // Right
    {40, 81},    // Down
    {41, 119},   // Select
    {43, 116},   // Execute
    {44, 70},    // Print Screen
    {45, 73},    // Insert
    {46, 76},    // Delete
    {47, 117},   // Help
    {48, 39},    // 0
    {91, 227},   // left Windows
    {92, 231},   // right Windows
    {93, 101},   // Application
    {96, 98},    // numeric pad 0
    {106, 85},   // numeric pad *
    {107, 87},   // numeric pad +
    {108, 159},  // separator
    {109, 86},   // numeric pad -
    {110, 99},   // numeric pad .
    {111, 84},   // numeric pad /
    {144, 83},   // Num Lock
    {145, 71},   // Scroll Lock
    {160, 225},  // left Shift
    {161, 229},  // right Shift
    {162, 224},  // left Control
    {163, 228},  // right Control
    {164, 226},  // left Alt
    {165, 230},  // right Alt
    {186, 51},   // ; :
    {187, 46},   // = +
    {188, 54},   // ,
    {189, 45},   // -
    {190, 55},   // .
    {191, 56},   // / ?
    {192, 53},   // ` ~
    {219, 47},   // [ {
    {220, 49},   // \ |
    {221, 48},   // ] }
    {222, 52},   // ' "
    // The key beside the left Shift of ISO keyboards (< > |). Without its pair it would read as
    // the left Alt's usage; no file holds 226 for anything else, as no usage is written as 226.
    {226, 100},  // < > |
    {240, 241},  // left mouse button
    {241, 243},  // right mouse button
}};
// The middle mouse button is 242 in both forms, so it needs no pair.

struct Tables {
  std::array<std::uint8_t, 256> vkToUsage{};
  std::array<std::uint8_t, 256> usageToVk{};
  std::array<bool, 256> vkListed{};
  std::array<bool, 256> usageListed{};
  bool oneToOne = true;  // no vk and no usage is listed twice
};

constexpr Tables buildTables() {
  Tables t;
  for (std::size_t i = 0; i < 256; ++i) {
    t.vkToUsage[i] = static_cast<std::uint8_t>(i);
    t.usageToVk[i] = static_cast<std::uint8_t>(i);
  }
  auto add = [&t](std::uint8_t vk, std::uint8_t usage) {
    if (t.vkListed[vk] || t.usageListed[usage]) {
      t.oneToOne = false;
    }
    t.vkListed[vk] = true;
    t.usageListed[usage] = true;
    t.vkToUsage[vk] = usage;
    t.usageToVk[usage] = vk;
  };
  for (const KeyRun& run : kKeyRuns) {
    for (int vk = run.firstVk; vk <= run.lastVk; ++vk) {
      add(static_cast<std::uint8_t>(vk), static_cast<std::uint8_t>(run.usage + (vk - run.firstVk)));
    }
  }
  for (const KeyPair& pair : kKeyPairs) {
    add(pair.vk, pair.usage);
  }
  return t;
}

constexpr Tables kTables = buildTables();
static_assert(kTables.oneToOne, "a virtual key or usage is listed twice");
static_assert(kTables.vkToUsage[192] == 53 && kTables.usageToVk[53] == 192);
static_assert(kTables.vkToUsage[240] == 241 && kTables.vkToUsage[241] == 243 && kTables.vkToUsage[242] == 242);

// The key picker's items as virtual keys.
constexpr std::array<std::uint8_t, kKeyPickerItems> kKeyPickerVk = {
    27,                                                   // 0 Escape
    112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123,  // 1-12 F1-F12
    45,                                                   // 13 Insert
    192,                                                  // 14 grave / tilde
    49, 50, 51, 52, 53, 54, 55, 56, 57,                   // 15-23 digits 1-9
    48,                                                   // 24 digit 0
    189, 187,                                             // 25 minus, 26 equals
    8, 46, 9,                                             // 27 Backspace, 28 Delete, 29 Tab
    'Q', 'W', 'E', 'R', 'T', 'Y', 'U', 'I', 'O', 'P',     // 30-39
    219, 221, 220,                                        // 40 [, 41 ], 42 backslash
    20,                                                   // 43 Caps Lock
    'A', 'S', 'D', 'F', 'G', 'H', 'J', 'K', 'L',          // 44-52
    186, 222,                                             // 53 semicolon, 54 apostrophe
    13,                                                   // 55 Enter
    160,                                                  // 56 left Shift
    'Z', 'X', 'C', 'V', 'B', 'N', 'M',                    // 57-63
    188, 190, 191,                                        // 64 comma, 65 period, 66 slash
    161, 162, 164, 91,                                    // 67 right Shift, 68 left Control, 69 left Alt, 70 left Windows
    32,                                                   // 71 Space
    92, 165, 163,                                         // 72 right Windows, 73 right Alt, 74 right Control
    37, 38, 39, 40,                                       // 75 Left, 76 Up, 77 Right, 78 Down
};

}  // namespace

std::uint8_t VkToUsage(std::uint8_t vk) { return kTables.vkToUsage[vk]; }
std::uint8_t UsageToVk(std::uint8_t usage) { return kTables.usageToVk[usage]; }
bool vkIsListed(std::uint8_t vk) { return kTables.vkListed[vk]; }
bool usageIsListed(std::uint8_t usage) { return kTables.usageListed[usage]; }

std::uint8_t KeyPickerUsage(std::uint8_t index) {
  return index < kKeyPickerVk.size() ? VkToUsage(kKeyPickerVk[index]) : kNoPickerKey;
}

}  // namespace quillet
