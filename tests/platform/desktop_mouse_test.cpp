// The desktop mouse settings, on GSettings' memory backend and on KDE files in a temporary
// folder: the machine's own settings are never touched.
#include "platform/desktop_mouse.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "platform/ini.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

TEST(DesktopMouse, WindowsSpeedMapsLinearlyOntoMinusOneToOne) {
  EXPECT_DOUBLE_EQ(windowsSpeedToUnit(1), -1.0);
  EXPECT_DOUBLE_EQ(windowsSpeedToUnit(20), 1.0);
  EXPECT_NEAR(windowsSpeedToUnit(10), -1.0 + 18.0 / 19.0, 1e-12);
  EXPECT_DOUBLE_EQ(windowsSpeedToUnit(0), -1.0) << "clamped";
  EXPECT_DOUBLE_EQ(windowsSpeedToUnit(99), 1.0) << "clamped";
  for (int s = 1; s <= 20; ++s) {
    EXPECT_EQ(unitToWindowsSpeed(windowsSpeedToUnit(s)), s);
  }
  EXPECT_EQ(unitToWindowsSpeed(5.0), 20);
  EXPECT_EQ(unitToWindowsSpeed(std::nan("")), 11);
}

TEST(DesktopMouse, GnomeSpeedThroughGSettings) {
  // The memory backend keeps values in this process only.
  ::setenv("GSETTINGS_BACKEND", "memory", 1);
  auto gnome = makeGnomeMouseSettings();
  if (!gnome) {
    GTEST_SKIP() << "the GNOME peripherals schema is not installed";
  }
  EXPECT_EQ(gnome->name(), "GNOME");
  ASSERT_TRUE(gnome->setPointerSpeed(18));
  EXPECT_EQ(gnome->pointerSpeed(), 18);
  ASSERT_TRUE(gnome->setPointerSpeed(1));
  EXPECT_EQ(gnome->pointerSpeed(), 1);
  EXPECT_FALSE(gnome->wheelScrollLines()) << "GNOME has no wheel-lines setting";
  EXPECT_FALSE(gnome->setWheelScrollLines(3));
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

TEST(DesktopMouse, UnavailableDesktopHasNeitherSetting) {
  auto none = makeUnavailableMouseSettings();
  EXPECT_FALSE(none->pointerSpeed());
  EXPECT_FALSE(none->wheelScrollLines());
  EXPECT_FALSE(none->setPointerSpeed(10));

  ::setenv("XDG_CURRENT_DESKTOP", "sway", 1);
  EXPECT_EQ(makeDesktopMouseSettings()->name(), "none");
  test::TempDir home;
  ::setenv("XDG_CONFIG_HOME", home.path().c_str(), 1);
  ::setenv("XDG_CURRENT_DESKTOP", "KDE", 1);
  auto kde = makeDesktopMouseSettings();
  EXPECT_EQ(kde->name(), "KDE");
  ASSERT_TRUE(kde->setWheelScrollLines(4));
  EXPECT_TRUE(std::filesystem::exists(home / "kdeglobals"));
}

}  // namespace
}  // namespace quillet
