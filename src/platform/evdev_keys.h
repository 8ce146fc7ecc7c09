#pragma once
// Keys as the Linux input layer numbers them (the KEY_* codes of the evdev interface), turned
// into Windows virtual-key codes, the form recorded key steps and group files hold. The mapping
// is by position on the keyboard, as Windows reports it under a US layout: the key right of L is
// VK_OEM_1 whatever the active layout prints on it, and the keypad keys are the VK_NUMPAD codes
// whether Num Lock is on or not.
#include <cstdint>
#include <span>

namespace quillet {

// Windows virtual-key codes that have no character of their own to spell them (letters and
// digits are their characters).
namespace vk {
constexpr std::uint8_t kBack = 0x08, kTab = 0x09, kClear = 0x0C, kReturn = 0x0D, kPause = 0x13, kCapital = 0x14;
constexpr std::uint8_t kEscape = 0x1B, kSpace = 0x20, kPrior = 0x21, kNext = 0x22, kEnd = 0x23, kHome = 0x24;
constexpr std::uint8_t kLeft = 0x25, kUp = 0x26, kRight = 0x27, kDown = 0x28, kSelect = 0x29;
constexpr std::uint8_t kSnapshot = 0x2C, kInsert = 0x2D, kDelete = 0x2E, kHelp = 0x2F;
constexpr std::uint8_t kLWin = 0x5B, kRWin = 0x5C, kApps = 0x5D, kSleep = 0x5F;
constexpr std::uint8_t kNumpad0 = 0x60, kMultiply = 0x6A, kAdd = 0x6B, kSubtract = 0x6D, kDecimal = 0x6E,
                       kDivide = 0x6F;
constexpr std::uint8_t kF1 = 0x70, kF10 = 0x79, kF11 = 0x7A, kF13 = 0x7C;
constexpr std::uint8_t kNumLock = 0x90, kScroll = 0x91;
constexpr std::uint8_t kLShift = 0xA0, kRShift = 0xA1, kLControl = 0xA2, kRControl = 0xA3, kLMenu = 0xA4,
                       kRMenu = 0xA5;
constexpr std::uint8_t kBrowserBack = 0xA6, kBrowserForward = 0xA7, kBrowserRefresh = 0xA8, kBrowserStop = 0xA9,
                       kBrowserSearch = 0xAA, kBrowserFavorites = 0xAB, kBrowserHome = 0xAC;
constexpr std::uint8_t kVolumeMute = 0xAD, kVolumeDown = 0xAE, kVolumeUp = 0xAF;
constexpr std::uint8_t kMediaNextTrack = 0xB0, kMediaPrevTrack = 0xB1, kMediaStop = 0xB2, kMediaPlayPause = 0xB3;
constexpr std::uint8_t kLaunchMail = 0xB4, kLaunchMediaSelect = 0xB5, kLaunchApp1 = 0xB6, kLaunchApp2 = 0xB7;
constexpr std::uint8_t kOem1 = 0xBA, kOemPlus = 0xBB, kOemComma = 0xBC, kOemMinus = 0xBD, kOemPeriod = 0xBE,
                       kOem2 = 0xBF, kOem3 = 0xC0, kOem4 = 0xDB, kOem5 = 0xDC, kOem6 = 0xDD, kOem7 = 0xDE,
                       kOem102 = 0xE2;
}  // namespace vk

struct EvdevVk {
  std::uint16_t evdev;  // KEY_* code
  std::uint8_t vk;      // Windows virtual-key code, never 0
};

// Every key the mapping knows, in the order vkToEvdev prefers them.
std::span<const EvdevVk> evdevKeyTable();

// The virtual key of evdev key `evdevCode`; 0 for a key the table does not have.
std::uint8_t evdevToVk(unsigned evdevCode);

// X11 and Wayland key codes (Qt's QKeyEvent::nativeScanCode on both) are evdev codes plus 8.
constexpr unsigned kNativeKeyOffset = 8;

// The virtual key of an X11 / Wayland key code; 0 below 8 or for a key the table does not have.
std::uint8_t nativeKeyToVk(unsigned nativeScanCode);

// The evdev key that gives `vk` (the main block's key where the keypad gives the same one, so
// VK_RETURN is KEY_ENTER); 0 when no key gives it.
unsigned vkToEvdev(std::uint8_t vk);

}  // namespace quillet
