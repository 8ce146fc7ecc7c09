#include "linux/evdev_keys.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/macro/key_translation.h"

namespace quillet {
namespace {

struct Key {
  const char* name;
  unsigned evdev;
  std::uint8_t vk;
  std::uint8_t usage;  // keyboard page of the HID usage tables
};

// A full-size ISO keyboard, row by row. VKs are what Windows reports under a US layout.
// Two keys hold the usage of the key they cannot be told apart from:
// - the key left of Enter (keyboard page 0x32, Non-US #) reaches us as KEY_BACKSLASH like the
//   US backslash key, so it comes back as 0x31; hosts treat the two usages alike.
// - keypad Enter (0x58) is VK_RETURN, as Windows reports it, so it comes back as main Enter 0x28.
const Key kIso105[] = {
    {"Escape", KEY_ESC, 0x1B, 0x29},
    {"F1", KEY_F1, 0x70, 0x3A}, {"F2", KEY_F2, 0x71, 0x3B}, {"F3", KEY_F3, 0x72, 0x3C},
    {"F4", KEY_F4, 0x73, 0x3D}, {"F5", KEY_F5, 0x74, 0x3E}, {"F6", KEY_F6, 0x75, 0x3F},
    {"F7", KEY_F7, 0x76, 0x40}, {"F8", KEY_F8, 0x77, 0x41}, {"F9", KEY_F9, 0x78, 0x42},
    {"F10", KEY_F10, 0x79, 0x43}, {"F11", KEY_F11, 0x7A, 0x44}, {"F12", KEY_F12, 0x7B, 0x45},
    {"PrintScreen", KEY_SYSRQ, 0x2C, 0x46}, {"ScrollLock", KEY_SCROLLLOCK, 0x91, 0x47},
    {"Pause", KEY_PAUSE, 0x13, 0x48},

    {"Grave", KEY_GRAVE, 0xC0, 0x35},
    {"1", KEY_1, 0x31, 0x1E}, {"2", KEY_2, 0x32, 0x1F}, {"3", KEY_3, 0x33, 0x20}, {"4", KEY_4, 0x34, 0x21},
    {"5", KEY_5, 0x35, 0x22}, {"6", KEY_6, 0x36, 0x23}, {"7", KEY_7, 0x37, 0x24}, {"8", KEY_8, 0x38, 0x25},
    {"9", KEY_9, 0x39, 0x26}, {"0", KEY_0, 0x30, 0x27},
    {"Minus", KEY_MINUS, 0xBD, 0x2D}, {"Equal", KEY_EQUAL, 0xBB, 0x2E}, {"Backspace", KEY_BACKSPACE, 0x08, 0x2A},
    {"Insert", KEY_INSERT, 0x2D, 0x49}, {"Home", KEY_HOME, 0x24, 0x4A}, {"PageUp", KEY_PAGEUP, 0x21, 0x4B},
    {"NumLock", KEY_NUMLOCK, 0x90, 0x53}, {"KPSlash", KEY_KPSLASH, 0x6F, 0x54},
    {"KPAsterisk", KEY_KPASTERISK, 0x6A, 0x55}, {"KPMinus", KEY_KPMINUS, 0x6D, 0x56},

    {"Tab", KEY_TAB, 0x09, 0x2B},
    {"Q", KEY_Q, 'Q', 0x14}, {"W", KEY_W, 'W', 0x1A}, {"E", KEY_E, 'E', 0x08}, {"R", KEY_R, 'R', 0x15},
    {"T", KEY_T, 'T', 0x17}, {"Y", KEY_Y, 'Y', 0x1C}, {"U", KEY_U, 'U', 0x18}, {"I", KEY_I, 'I', 0x0C},
    {"O", KEY_O, 'O', 0x12}, {"P", KEY_P, 'P', 0x13},
    {"LeftBrace", KEY_LEFTBRACE, 0xDB, 0x2F}, {"RightBrace", KEY_RIGHTBRACE, 0xDD, 0x30},
    {"Enter", KEY_ENTER, 0x0D, 0x28},
    {"Delete", KEY_DELETE, 0x2E, 0x4C}, {"End", KEY_END, 0x23, 0x4D}, {"PageDown", KEY_PAGEDOWN, 0x22, 0x4E},
    {"KP7", KEY_KP7, 0x67, 0x5F}, {"KP8", KEY_KP8, 0x68, 0x60}, {"KP9", KEY_KP9, 0x69, 0x61},
    {"KPPlus", KEY_KPPLUS, 0x6B, 0x57},

    {"CapsLock", KEY_CAPSLOCK, 0x14, 0x39},
    {"A", KEY_A, 'A', 0x04}, {"S", KEY_S, 'S', 0x16}, {"D", KEY_D, 'D', 0x07}, {"F", KEY_F, 'F', 0x09},
    {"G", KEY_G, 'G', 0x0A}, {"H", KEY_H, 'H', 0x0B}, {"J", KEY_J, 'J', 0x0D}, {"K", KEY_K, 'K', 0x0E},
    {"L", KEY_L, 'L', 0x0F},
    {"Semicolon", KEY_SEMICOLON, 0xBA, 0x33}, {"Apostrophe", KEY_APOSTROPHE, 0xDE, 0x34},
    {"Hash (ISO)", KEY_BACKSLASH, 0xDC, 0x31},
    {"KP4", KEY_KP4, 0x64, 0x5C}, {"KP5", KEY_KP5, 0x65, 0x5D}, {"KP6", KEY_KP6, 0x66, 0x5E},

    {"LeftShift", KEY_LEFTSHIFT, 0xA0, 0xE1}, {"102ND", KEY_102ND, 0xE2, 0x64},
    {"Z", KEY_Z, 'Z', 0x1D}, {"X", KEY_X, 'X', 0x1B}, {"C", KEY_C, 'C', 0x06}, {"V", KEY_V, 'V', 0x19},
    {"B", KEY_B, 'B', 0x05}, {"N", KEY_N, 'N', 0x11}, {"M", KEY_M, 'M', 0x10},
    {"Comma", KEY_COMMA, 0xBC, 0x36}, {"Dot", KEY_DOT, 0xBE, 0x37}, {"Slash", KEY_SLASH, 0xBF, 0x38},
    {"RightShift", KEY_RIGHTSHIFT, 0xA1, 0xE5},
    {"Up", KEY_UP, 0x26, 0x52},
    {"KP1", KEY_KP1, 0x61, 0x59}, {"KP2", KEY_KP2, 0x62, 0x5A}, {"KP3", KEY_KP3, 0x63, 0x5B},
    {"KPEnter", KEY_KPENTER, 0x0D, 0x28},

    {"LeftCtrl", KEY_LEFTCTRL, 0xA2, 0xE0}, {"LeftMeta", KEY_LEFTMETA, 0x5B, 0xE3},
    {"LeftAlt", KEY_LEFTALT, 0xA4, 0xE2}, {"Space", KEY_SPACE, 0x20, 0x2C},
    {"RightAlt", KEY_RIGHTALT, 0xA5, 0xE6}, {"RightMeta", KEY_RIGHTMETA, 0x5C, 0xE7},
    {"Compose", KEY_COMPOSE, 0x5D, 0x65}, {"RightCtrl", KEY_RIGHTCTRL, 0xA3, 0xE4},
    {"Left", KEY_LEFT, 0x25, 0x50}, {"Down", KEY_DOWN, 0x28, 0x51}, {"Right", KEY_RIGHT, 0x27, 0x4F},
    {"KP0", KEY_KP0, 0x60, 0x62}, {"KPDot", KEY_KPDOT, 0x6E, 0x63},
};

// Keys that give the same VK on purpose: {main block key, the other key}.
const std::pair<unsigned, unsigned> kSameVk[] = {{KEY_ENTER, KEY_KPENTER}};

std::string hex(unsigned v) {
  std::ostringstream out;
  out << "0x" << std::hex << std::uppercase << v;
  return out.str();
}

TEST(EvdevKeys, Iso105KeyboardListsEveryKeyOnce) {
  std::set<unsigned> codes;
  for (const Key& key : kIso105) codes.insert(key.evdev);
  EXPECT_EQ(std::size(kIso105), 105u);
  EXPECT_EQ(codes.size(), std::size(kIso105));
}

TEST(EvdevKeys, Iso105KeysGiveTheirVirtualKeys) {
  std::string wrong;
  for (const Key& key : kIso105) {
    const std::uint8_t got = nativeKeyToVk(key.evdev + kNativeKeyOffset);
    if (got != key.vk) {
      wrong += "\n  " + std::string(key.name) + " (evdev " + std::to_string(key.evdev) + ", X " +
               std::to_string(key.evdev + kNativeKeyOffset) + "): VK " + hex(got) + ", expected " + hex(key.vk);
    }
  }
  EXPECT_TRUE(wrong.empty()) << "keys with the wrong virtual key:" << wrong;
}

TEST(EvdevKeys, Iso105VirtualKeysGiveTheirUsages) {
  std::string wrong;
  for (const Key& key : kIso105) {
    const std::uint8_t usage = VkToUsage(key.vk);
    if (usage != key.usage || !vkIsListed(key.vk)) {
      wrong += "\n  " + std::string(key.name) + ": VK " + hex(key.vk) + " -> usage " + hex(usage) + ", expected " +
               hex(key.usage) + (vkIsListed(key.vk) ? "" : " (VK has no pair in VkToUsage)");
    }
  }
  EXPECT_TRUE(wrong.empty()) << "virtual keys with the wrong usage:" << wrong;
}

TEST(EvdevKeys, FunctionKeys13To24) {
  for (unsigned i = 0; i < 12; ++i) {
    SCOPED_TRACE("F" + std::to_string(13 + i));
    EXPECT_EQ(evdevToVk(KEY_F13 + i), 0x7C + i);
    EXPECT_EQ(VkToUsage(static_cast<std::uint8_t>(0x7C + i)), 0x68 + i);
  }
}

TEST(EvdevKeys, MediaAndBrowserKeys) {
  const std::pair<unsigned, std::uint8_t> keys[] = {
      {KEY_MUTE, 0xAD},         {KEY_VOLUMEDOWN, 0xAE}, {KEY_VOLUMEUP, 0xAF},  {KEY_NEXTSONG, 0xB0},
      {KEY_PREVIOUSSONG, 0xB1}, {KEY_STOPCD, 0xB2},     {KEY_PLAYPAUSE, 0xB3}, {KEY_MAIL, 0xB4},
      {KEY_BACK, 0xA6},         {KEY_FORWARD, 0xA7},    {KEY_REFRESH, 0xA8},   {KEY_STOP, 0xA9},
      {KEY_SEARCH, 0xAA},       {KEY_BOOKMARKS, 0xAB},  {KEY_HOMEPAGE, 0xAC},  {KEY_SLEEP, 0x5F},
      {KEY_CALC, 0xB7},
  };
  for (const auto& [evdev, vk] : keys) {
    EXPECT_EQ(nativeKeyToVk(evdev + kNativeKeyOffset), vk) << "evdev " << evdev;
  }
}

TEST(EvdevKeys, CodesOutsideTheTableGiveZero) {
  unsigned highest = 0;
  for (const EvdevVk& key : evdevKeyTable()) highest = std::max<unsigned>(highest, key.evdev);
  const unsigned evdevCodes[] = {KEY_RESERVED, 84 /* unassigned */, KEY_POWER, KEY_FN, highest + 1, KEY_MAX,
                                 UINT_MAX};
  for (unsigned code : evdevCodes) {
    EXPECT_EQ(evdevToVk(code), 0) << "evdev " << code;
  }
  for (unsigned native : {0u, 1u, 7u, kNativeKeyOffset + KEY_RESERVED, kNativeKeyOffset + KEY_POWER,
                          kNativeKeyOffset + highest + 1, UINT_MAX}) {
    EXPECT_EQ(nativeKeyToVk(native), 0) << "X key code " << native;
  }
  // The first key code that means a key: X 9 is Escape.
  EXPECT_EQ(nativeKeyToVk(kNativeKeyOffset + KEY_ESC), 0x1B);
  for (std::uint8_t vk : {std::uint8_t{0}, std::uint8_t{0x07}, std::uint8_t{0xFF}}) {
    EXPECT_EQ(vkToEvdev(vk), 0u) << "VK " << hex(vk);
  }
}

TEST(EvdevKeys, OnlyTheListedKeysShareAVirtualKey) {
  std::map<std::uint8_t, std::vector<unsigned>> byVk;
  for (const EvdevVk& key : evdevKeyTable()) {
    byVk[key.vk].push_back(key.evdev);
    EXPECT_EQ(evdevToVk(key.evdev), key.vk) << "evdev " << key.evdev;
  }
  std::set<std::pair<unsigned, unsigned>> shared;
  for (const auto& [vk, codes] : byVk) {
    for (std::size_t i = 1; i < codes.size(); ++i) shared.insert({codes[0], codes[i]});
  }
  const std::set<std::pair<unsigned, unsigned>> intended(std::begin(kSameVk), std::end(kSameVk));
  EXPECT_EQ(shared, intended);

  // Back from each VK to a key that gives it; from a shared one to the main block's key.
  for (const auto& [vk, codes] : byVk) {
    EXPECT_EQ(evdevToVk(vkToEvdev(vk)), vk) << "VK " << hex(vk);
  }
  for (const auto& [main, other] : kSameVk) {
    EXPECT_EQ(vkToEvdev(evdevToVk(other)), main) << "evdev " << other;
  }
}

}  // namespace
}  // namespace quillet
