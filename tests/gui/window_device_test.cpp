// The window and what happens to the mouse outside it: a mouse plugged in after the start, and
// the system's resume from sleep, which downloads the settings again.
#include <QApplication>
#include <QMetaObject>

#include <gtest/gtest.h>

#include "core/io/ini.h"
#include "core/skin/window_rules.h"
#include "gui/app/power_events.h"
#include "gui/app/quillet_dlg.h"
#include "gui/window_fixture.h"

namespace quillet {
namespace {

using test::WindowTest;

TEST_F(WindowTest, AMousePluggedInAfterTheStartGetsTheIconAndItsDeviceValue) {
  start(false);
  ASSERT_EQ(dlg_->app().devicePresent, 0);
  ASSERT_FALSE(dlg_->tray().added());
  ASSERT_EQ(dlg_->app().deviceValue, 0);

  // Another device arrives: discovery still finds nothing, and nothing changes.
  session_->onArrived();
  EXPECT_EQ(dlg_->app().devicePresent, 0);
  EXPECT_FALSE(dlg_->tray().added());

  session_->setPresent(true);
  session_->onArrived();
  EXPECT_EQ(dlg_->app().devicePresent, 1);
  EXPECT_EQ(dlg_->app().deviceValue, 5) << "the status of the mouse that came";
  EXPECT_TRUE(dlg_->tray().added());
  // The next download writes that device value into configuration byte 0x3A.
  clickMain(frame_region::kApply);
  ASSERT_GE(session_->lastBlocks().size(), 8u);
  EXPECT_EQ(session_->lastBlocks()[7].address, 0x0038);
  EXPECT_EQ(session_->lastBlocks()[7].bytes[2], 0x10 | 5) << "direction 1 and the device value";
}

// The resume as logind reports it: PrepareForSleep(false) on the window's power watch.
void prepareForSleep(CQuilletDlg& window, bool sleeping) {
  auto* power = window.findChild<PowerEvents*>();
  ASSERT_NE(power, nullptr);
  ASSERT_TRUE(QMetaObject::invokeMethod(power, "onPrepareForSleep", Qt::DirectConnection, Q_ARG(bool, sleeping)));
}

TEST_F(WindowTest, AResumeFromSleepDownloadsAndSavesTheSettingsAgain) {
  start(true);
  dlg_->settings().fireTime = 120;  // an edit not yet applied
  prepareForSleep(*dlg_, true);
  EXPECT_EQ(session_->applies, 0) << "going to sleep downloads nothing";
  prepareForSleep(*dlg_, false);
  EXPECT_EQ(session_->applies, 1);
  EXPECT_EQ(ini::readString(configPath(), "Config1", "FIRE_TIME", "", 8), "120");

  // A resume while a download runs: that one ends first, then the settings go again.
  session_->holdApplies = true;
  clickMain(frame_region::kApply);
  ASSERT_TRUE(dlg_->applying());
  prepareForSleep(*dlg_, false);
  EXPECT_EQ(session_->applies, 1) << "nothing starts under the running download";
  session_->finishApplyNow();
  QApplication::processEvents();
  ASSERT_TRUE(dlg_->applying()) << "the resume's download follows";
  session_->finishApplyNow();
  EXPECT_EQ(session_->applies, 3);
  EXPECT_FALSE(dlg_->applying());
}

}  // namespace
}  // namespace quillet
