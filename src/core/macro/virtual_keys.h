#pragma once
// The Windows virtual-key codes that macros store and recordings produce: the same numbers on
// every platform, whichever key codes the platform's keyboard sends.
#include <cstdint>

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

}  // namespace quillet
