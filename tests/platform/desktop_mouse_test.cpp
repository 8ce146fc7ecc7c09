// The desktop mouse settings: GNOME's on a key file of the test's own, KDE's files in a
// temporary folder, and the choice by desktop on GSettings' memory backend. The machine's own
// settings are never touched.
#include "linux/desktop_mouse.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

#include "support/temp_dir.h"

namespace quillet {
namespace {

// Before anything can reach the session's settings: GSettings keeps values in this process only,
// and no desktop is assumed until a test names one.
const bool kPrivateDesktop = [] {
  ::setenv("GSETTINGS_BACKEND", "memory", 1);
  ::unsetenv("XDG_CURRENT_DESKTOP");
  return true;
}();

TEST(DesktopMouse, WindowsSpeedMapsLinearlyOntoMinusOneToOne) {
  ASSERT_TRUE(kPrivateDesktop);
  // -1 + 2 (s - 1) / 19, clamped to speeds 1..20.
  const std::pair<int, double> toUnit[] = {{1, -1.0},         {2, -17.0 / 19},  {10, -1.0 / 19}, {11, 1.0 / 19},
                                           {19, 17.0 / 19},   {20, 1.0},        {0, -1.0},       {21, 1.0},
                                           {-5, -1.0}};
  for (const auto& [speed, unit] : toUnit) {
    EXPECT_NEAR(windowsSpeedToUnit(speed), unit, 1e-12) << speed;
  }
  // 1 + (u + 1) * 19 / 2, rounded half away from zero, clamped; not a number is the middle.
  const std::pair<double, int> toSpeed[] = {{-1.0, 1},  {1.0, 20}, {0.0, 11},  {-0.9, 2}, {0.5, 15},
                                            {-1.0 / 19, 10}, {2.0, 20}, {-3.0, 1}, {std::nan(""), 11}};
  for (const auto& [unit, speed] : toSpeed) {
    EXPECT_EQ(unitToWindowsSpeed(unit), speed) << unit;
  }
}

// The value the key file holds for the mouse speed, read as GSettings wrote it.
std::optional<double> keyFileSpeed(const std::filesystem::path& file) {
  const std::string text = test::readBytes(file);
  const std::string group = "[org/gnome/desktop/peripherals/mouse]\n";
  const auto at = text.find(group);
  if (at == std::string::npos) {
    return std::nullopt;
  }
  const auto key = text.find("\nspeed=", at + group.size() - 1);
  if (key == std::string::npos) {
    return std::nullopt;
  }
  return std::strtod(text.c_str() + key + 7, nullptr);
}

TEST(DesktopMouse, GnomeSpeedGoesIntoGSettingsOnAPrivateKeyFile) {
  test::TempDir dir;
  const std::filesystem::path file = dir / "keyfile";
  auto gnome = makeGnomeMouseSettings(file);
  ASSERT_NE(gnome, nullptr) << "the schema org.gnome.desktop.peripherals.mouse is missing (setup.sh installs it)";
  EXPECT_EQ(gnome->name(), "GNOME");
  EXPECT_EQ(gnome->pointerSpeed(), 11) << "the schema's default speed 0 is the middle";
  EXPECT_FALSE(gnome->wheelScrollLines()) << "GNOME has no wheel-lines setting";
  EXPECT_FALSE(gnome->setWheelScrollLines(3));

  ASSERT_TRUE(gnome->setPointerSpeed(18));
  ASSERT_TRUE(keyFileSpeed(file)) << test::readBytes(file);
  EXPECT_NEAR(*keyFileSpeed(file), 15.0 / 19, 1e-12);
  ASSERT_TRUE(gnome->setPointerSpeed(1));
  EXPECT_NEAR(keyFileSpeed(file).value_or(99), -1.0, 1e-12);
  // Another reader of the same store sees what was written.
  test::writeBytes(file, "[org/gnome/desktop/peripherals/mouse]\nspeed=0.5\n");
  EXPECT_EQ(makeGnomeMouseSettings(file)->pointerSpeed(), 15);
}

TEST(DesktopMouse, KdeFilesKeepTheirOtherLines) {
  test::TempDir home;
  test::writeBytes(home / "kcminputrc", "[Mouse]\ncursorTheme=breeze\n[Keyboard]\nRepeatRate=25\n");
  auto kde = makeKdeMouseSettings(home.path());
  EXPECT_EQ(kde->pointerSpeed(), 11) << "Plasma's default acceleration 0 is the middle";
  EXPECT_EQ(kde->wheelScrollLines(), 3) << "Plasma's default";
  ASSERT_TRUE(kde->setPointerSpeed(20));
  ASSERT_TRUE(kde->setWheelScrollLines(7));
  EXPECT_EQ(kde->pointerSpeed(), 20);
  EXPECT_EQ(kde->wheelScrollLines(), 7);
  EXPECT_EQ(test::readBytes(home / "kcminputrc"),
            "[Mouse]\ncursorTheme=breeze\nXLbInptPointerAcceleration=1.000\n[Keyboard]\nRepeatRate=25\n");
  EXPECT_EQ(test::readBytes(home / "kdeglobals"), "[KDE]\nWheelScrollLines=7\n");
}

TEST(DesktopMouse, TheSessionsDesktopChoosesTheSettings) {
  auto none = makeUnavailableMouseSettings();
  EXPECT_FALSE(none->pointerSpeed());
  EXPECT_FALSE(none->wheelScrollLines());
  EXPECT_FALSE(none->setPointerSpeed(10));

  test::TempDir home;
  ::setenv("XDG_CONFIG_HOME", home.path().c_str(), 1);
  const std::pair<const char*, const char*> table[] = {
      {"sway", "none"}, {"", "none"}, {"KDE", "KDE"}, {"ubuntu:GNOME", "GNOME"}, {"Unity", "GNOME"}};
  for (const auto& [desktop, name] : table) {
    ::setenv("XDG_CURRENT_DESKTOP", desktop, 1);
    EXPECT_EQ(makeDesktopMouseSettings()->name(), name) << desktop;
  }
  ::setenv("XDG_CURRENT_DESKTOP", "KDE", 1);
  ASSERT_TRUE(makeDesktopMouseSettings()->setWheelScrollLines(4));
  EXPECT_EQ(test::readBytes(home / "kdeglobals"), "[KDE]\nWheelScrollLines=4\n") << "under XDG_CONFIG_HOME";
  ::unsetenv("XDG_CURRENT_DESKTOP");
  ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace quillet
