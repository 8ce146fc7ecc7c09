#include "linux/evdev_keys.h"

#include <linux/input-event-codes.h>

#include <algorithm>
#include <array>
#include <cstddef>

namespace quillet {
namespace {

constexpr std::uint8_t fKey(int n) { return static_cast<std::uint8_t>(vk::kF1 + n - 1); }
constexpr std::uint8_t numpad(int n) { return static_cast<std::uint8_t>(vk::kNumpad0 + n); }

constexpr EvdevVk kTable[] = {
    {KEY_ESC, vk::kEscape},
    // The main block, row by row; letters and digits are their own VKs.
    {KEY_1, '1'}, {KEY_2, '2'}, {KEY_3, '3'}, {KEY_4, '4'}, {KEY_5, '5'},
    {KEY_6, '6'}, {KEY_7, '7'}, {KEY_8, '8'}, {KEY_9, '9'}, {KEY_0, '0'},
    {KEY_MINUS, vk::kOemMinus},
    {KEY_EQUAL, vk::kOemPlus},
    {KEY_BACKSPACE, vk::kBack},
    {KEY_TAB, vk::kTab},
    {KEY_Q, 'Q'}, {KEY_W, 'W'}, {KEY_E, 'E'}, {KEY_R, 'R'}, {KEY_T, 'T'},
    {KEY_Y, 'Y'}, {KEY_U, 'U'}, {KEY_I, 'I'}, {KEY_O, 'O'}, {KEY_P, 'P'},
    {KEY_LEFTBRACE, vk::kOem4},
    {KEY_RIGHTBRACE, vk::kOem6},
    {KEY_ENTER, vk::kReturn},
    {KEY_LEFTCTRL, vk::kLControl},
    {KEY_A, 'A'}, {KEY_S, 'S'}, {KEY_D, 'D'}, {KEY_F, 'F'}, {KEY_G, 'G'},
    {KEY_H, 'H'}, {KEY_J, 'J'}, {KEY_K, 'K'}, {KEY_L, 'L'},
    {KEY_SEMICOLON, vk::kOem1},
    {KEY_APOSTROPHE, vk::kOem7},
    {KEY_GRAVE, vk::kOem3},
    {KEY_LEFTSHIFT, vk::kLShift},
    // Also the key left of Enter on ISO keyboards: the input layer gives both the same code.
    {KEY_BACKSLASH, vk::kOem5},
    {KEY_Z, 'Z'}, {KEY_X, 'X'}, {KEY_C, 'C'}, {KEY_V, 'V'}, {KEY_B, 'B'},
    {KEY_N, 'N'}, {KEY_M, 'M'},
    {KEY_COMMA, vk::kOemComma},
    {KEY_DOT, vk::kOemPeriod},
    {KEY_SLASH, vk::kOem2},
    {KEY_RIGHTSHIFT, vk::kRShift},
    {KEY_LEFTALT, vk::kLMenu},
    {KEY_SPACE, vk::kSpace},
    {KEY_CAPSLOCK, vk::kCapital},
    {KEY_F1, fKey(1)}, {KEY_F2, fKey(2)}, {KEY_F3, fKey(3)}, {KEY_F4, fKey(4)}, {KEY_F5, fKey(5)},
    {KEY_F6, fKey(6)}, {KEY_F7, fKey(7)}, {KEY_F8, fKey(8)}, {KEY_F9, fKey(9)}, {KEY_F10, fKey(10)},
    {KEY_F11, vk::kF11}, {KEY_F12, fKey(12)},
    {KEY_F13, vk::kF13}, {KEY_F14, fKey(14)}, {KEY_F15, fKey(15)}, {KEY_F16, fKey(16)},
    {KEY_F17, fKey(17)}, {KEY_F18, fKey(18)}, {KEY_F19, fKey(19)}, {KEY_F20, fKey(20)},
    {KEY_F21, fKey(21)}, {KEY_F22, fKey(22)}, {KEY_F23, fKey(23)}, {KEY_F24, fKey(24)},
    {KEY_SYSRQ, vk::kSnapshot},  // Print Screen
    {KEY_SCROLLLOCK, vk::kScroll},
    {KEY_PAUSE, vk::kPause},
    {KEY_INSERT, vk::kInsert},
    {KEY_HOME, vk::kHome},
    {KEY_PAGEUP, vk::kPrior},
    {KEY_DELETE, vk::kDelete},
    {KEY_END, vk::kEnd},
    {KEY_PAGEDOWN, vk::kNext},
    {KEY_LEFT, vk::kLeft},
    {KEY_UP, vk::kUp},
    {KEY_RIGHT, vk::kRight},
    {KEY_DOWN, vk::kDown},
    {KEY_RIGHTCTRL, vk::kRControl},
    {KEY_RIGHTALT, vk::kRMenu},  // AltGr too
    {KEY_LEFTMETA, vk::kLWin},
    {KEY_RIGHTMETA, vk::kRWin},
    {KEY_COMPOSE, vk::kApps},  // the menu key
    {KEY_102ND, vk::kOem102},  // right of left Shift on ISO keyboards
    // The keypad.
    {KEY_NUMLOCK, vk::kNumLock},
    {KEY_KPSLASH, vk::kDivide},
    {KEY_KPASTERISK, vk::kMultiply},
    {KEY_KPMINUS, vk::kSubtract},
    {KEY_KPPLUS, vk::kAdd},
    {KEY_KPENTER, vk::kReturn},  // Windows has no key of its own for it
    {KEY_KP0, numpad(0)}, {KEY_KP1, numpad(1)}, {KEY_KP2, numpad(2)}, {KEY_KP3, numpad(3)}, {KEY_KP4, numpad(4)},
    {KEY_KP5, numpad(5)}, {KEY_KP6, numpad(6)}, {KEY_KP7, numpad(7)}, {KEY_KP8, numpad(8)}, {KEY_KP9, numpad(9)},
    {KEY_KPDOT, vk::kDecimal},
    // Keys of larger keyboards.
    {KEY_HELP, vk::kHelp},
    {KEY_SELECT, vk::kSelect},
    {KEY_CLEAR, vk::kClear},
    // Media, browser and launch keys.
    {KEY_MUTE, vk::kVolumeMute},
    {KEY_VOLUMEDOWN, vk::kVolumeDown},
    {KEY_VOLUMEUP, vk::kVolumeUp},
    {KEY_NEXTSONG, vk::kMediaNextTrack},
    {KEY_PREVIOUSSONG, vk::kMediaPrevTrack},
    {KEY_STOPCD, vk::kMediaStop},
    {KEY_PLAYPAUSE, vk::kMediaPlayPause},
    {KEY_MAIL, vk::kLaunchMail},
    {KEY_CONFIG, vk::kLaunchMediaSelect},  // the media player key (consumer control configuration)
    {KEY_COMPUTER, vk::kLaunchApp1},
    {KEY_CALC, vk::kLaunchApp2},
    {KEY_BACK, vk::kBrowserBack},
    {KEY_FORWARD, vk::kBrowserForward},
    {KEY_REFRESH, vk::kBrowserRefresh},
    {KEY_STOP, vk::kBrowserStop},
    {KEY_SEARCH, vk::kBrowserSearch},
    {KEY_BOOKMARKS, vk::kBrowserFavorites},
    {KEY_HOMEPAGE, vk::kBrowserHome},
    {KEY_SLEEP, vk::kSleep},
};

constexpr std::size_t kCodes =
    std::max_element(std::begin(kTable), std::end(kTable),
                     [](const EvdevVk& a, const EvdevVk& b) { return a.evdev < b.evdev; })->evdev + std::size_t{1};

struct Index {
  std::array<std::uint8_t, kCodes> vkOf{};  // by evdev code
  std::array<std::uint16_t, 256> evdevOf{};  // by VK: the first key in table order
  bool evdevOnce = true;                    // no evdev code listed twice
  bool noZeroVk = true;
};

constexpr Index buildIndex() {
  Index index;
  for (const EvdevVk& key : kTable) {
    if (key.vk == 0) index.noZeroVk = false;
    if (index.vkOf[key.evdev] != 0) index.evdevOnce = false;
    index.vkOf[key.evdev] = key.vk;
    if (index.evdevOf[key.vk] == 0) index.evdevOf[key.vk] = key.evdev;
  }
  return index;
}

constexpr Index kIndex = buildIndex();
static_assert(kIndex.evdevOnce, "an evdev key is listed twice");
static_assert(kIndex.noZeroVk, "a key maps to virtual key 0, which means no key");
static_assert(kIndex.vkOf[KEY_F24] == 0x87 && kIndex.evdevOf[vk::kReturn] == KEY_ENTER);

}  // namespace

std::span<const EvdevVk> evdevKeyTable() { return kTable; }

std::uint8_t evdevToVk(unsigned evdevCode) { return evdevCode < kCodes ? kIndex.vkOf[evdevCode] : 0; }

std::uint8_t nativeKeyToVk(unsigned nativeScanCode) {
  return nativeScanCode < kNativeKeyOffset ? 0 : evdevToVk(nativeScanCode - kNativeKeyOffset);
}

unsigned vkToEvdev(std::uint8_t vk) { return kIndex.evdevOf[vk]; }

}  // namespace quillet
