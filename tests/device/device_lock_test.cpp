// The locks programs share on one mouse: one holder per mouse and purpose, mice kept apart, and
// the serve claim that leaves the buttons to the program that took them first.
#include "core/device/device_lock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace quillet {
namespace {

class DeviceLockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    saved_ = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
    ::setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1);
  }
  void TearDown() override {
    if (saved_) {
      ::setenv("XDG_RUNTIME_DIR", saved_->c_str(), 1);
    } else {
      ::unsetenv("XDG_RUNTIME_DIR");
    }
  }
  test::TempDir dir_;
  std::optional<std::string> saved_;
};

TEST_F(DeviceLockTest, OneHolderPerMouseAndPurpose) {
  struct Case {
    const char* first;
    std::string_view firstPurpose;
    const char* second;
    std::string_view secondPurpose;
    LockOutcome second_;
  };
  const std::vector<Case> cases = {
      {"/dev/hidraw3", kDownloadLock, "/dev/hidraw3", kDownloadLock, LockOutcome::Busy},
      {"/dev/hidraw3", kDownloadLock, "/dev/hidraw4", kDownloadLock, LockOutcome::Held},
      {"/dev/hidraw3", kDownloadLock, "/dev/hidraw3", kServeLock, LockOutcome::Held},
      // Two simulators name their nodes alike; their sockets tell them apart.
      {"/run/a.sock#sim://18f8:0cc0/2", kServeLock, "/run/b.sock#sim://18f8:0cc0/2", kServeLock, LockOutcome::Held},
      {"/run/a_b#x", kServeLock, "/run/a/b#x", kServeLock, LockOutcome::Held},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.first) + " / " + c.second);
    DeviceLock first;
    DeviceLock second;
    ASSERT_EQ(first.acquire(c.first, c.firstPurpose, false), LockOutcome::Held);
    EXPECT_EQ(second.acquire(c.second, c.secondPurpose, false), c.second_);
    EXPECT_EQ(second.held(), c.second_ == LockOutcome::Held);
    first.release();
    EXPECT_EQ(second.acquire(c.second, c.secondPurpose, false), LockOutcome::Held) << "free once let go";
  }
  // Every lock file lies in the runtime folder, one per mouse and purpose.
  std::set<std::filesystem::path> files;
  for (const char* mouse : {"/dev/hidraw3", "/dev/hidraw4", "/run/a_b#x", "/run/a/b#x", "/run/a_2Fb#x"}) {
    for (const std::string_view purpose : {kDownloadLock, kServeLock}) {
      const std::filesystem::path file = deviceLockPath(mouse, purpose);
      EXPECT_EQ(file.parent_path().parent_path(), dir_.path());
      files.insert(file);
    }
  }
  EXPECT_EQ(files.size(), 10u);
}

TEST_F(DeviceLockTest, TheFirstToServeKeepsTheButtonsUntilItEnds) {
  std::vector<std::string> saidA;
  std::vector<std::string> saidB;
  const auto mouse = [] { return std::string("/dev/hidraw7"); };
  auto a = std::make_unique<ServeClaim>(mouse, [&](std::string_view s) { saidA.emplace_back(s); });
  ServeClaim b(mouse, [&](std::string_view s) { saidB.emplace_back(s); });
  for (int press = 0; press < 3; ++press) {
    EXPECT_TRUE(a->mayServe());
    EXPECT_FALSE(b.mayServe());
  }
  EXPECT_TRUE(saidA.empty());
  EXPECT_EQ(saidB, std::vector<std::string>{kMsgAnotherServes}) << "said once";
  a.reset();  // the first program ends
  EXPECT_TRUE(b.mayServe());
  EXPECT_TRUE(b.mayServe());
  EXPECT_EQ(saidB, (std::vector<std::string>{kMsgAnotherServes, kMsgServesNow}));
  // No mouse known yet: nothing to share.
  ServeClaim none([] { return std::string(); }, {});
  EXPECT_TRUE(none.mayServe());
}

}  // namespace
}  // namespace quillet
