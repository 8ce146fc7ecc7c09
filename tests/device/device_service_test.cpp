// The device service on the simulated mouse in this process: what each arrival and removal does
// to the link as its owner hears of it, a hotplug watch that fails and is tried again, and the
// one trace switch.
#include "core/device/device_service.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "sim_mouse.h"
#include "sim_transport.h"

namespace quillet {
namespace {

using LinkChange = DeviceService::LinkChange;

// The in-process transport, with a hotplug watch that can be made to fail: not to start, or to
// end while it runs (its descriptor becomes -1, as a broken watch's does).
class FlakyWatchTransport final : public HidTransport {
 public:
  explicit FlakyWatchTransport(std::shared_ptr<sim::SimMouse> mouse) : inner_(sim::makeInProcessTransport(mouse)) {}
  std::vector<HidInterfaceInfo> enumerate() override { return inner_->enumerate(); }
  std::string enumerateProblem() const override { return inner_->enumerateProblem(); }
  OpenResult open(const std::string& path, HidAccess access) override { return inner_->open(path, access); }
  std::unique_ptr<HotplugMonitor> watchHotplug(std::string& error) override {
    if (refuseWatch) {
      error = "no watch today";
      return nullptr;
    }
    return std::make_unique<Monitor>(inner_->watchHotplug(error), *this);
  }

  bool refuseWatch = false;
  bool breakWatch = false;

 private:
  class Monitor final : public HotplugMonitor {
   public:
    Monitor(std::unique_ptr<HotplugMonitor> inner, const FlakyWatchTransport& owner)
        : inner_(std::move(inner)), owner_(owner) {}
    int descriptor() const override { return owner_.breakWatch ? -1 : inner_->descriptor(); }
    std::optional<HotplugEvent> next(std::chrono::milliseconds timeout) override {
      return owner_.breakWatch ? std::nullopt : inner_->next(timeout);
    }

   private:
    std::unique_ptr<HotplugMonitor> inner_;
    const FlakyWatchTransport& owner_;
  };
  std::unique_ptr<HidTransport> inner_;
};

class DeviceServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mouse_ = sim::SimMouse::create(sim::SimOptions{});
    auto transport = std::make_unique<FlakyWatchTransport>(mouse_);
    transport_ = transport.get();
    service_ = std::make_unique<DeviceService>(TransportChoice{std::move(transport), mouse_},
                                               [this](std::string_view line) {
                                                 std::lock_guard lock(logMutex_);
                                                 log_.emplace_back(line);
                                               });
  }

  // The changes one serviceHotplug reports; the owner ends at `endAt` when given.
  std::vector<LinkChange> service(std::optional<LinkChange> endAt = std::nullopt) {
    std::vector<LinkChange> seen;
    service_->serviceHotplug([&](LinkChange change) {
      seen.push_back(change);
      return change != endAt;
    });
    return seen;
  }

  std::shared_ptr<sim::SimMouse> mouse_;
  FlakyWatchTransport* transport_ = nullptr;
  std::unique_ptr<DeviceService> service_;
  std::mutex logMutex_;
  std::vector<std::string> log_;
};

TEST_F(DeviceServiceTest, EachArrivalAndRemovalReachesTheOwnerWithTheLinkAsItLeftIt) {
  mouse_->unplug();
  ASSERT_TRUE(service_->startHotplugWatch());
  ASSERT_GE(service_->hotplugDescriptor(), 0);
  EXPECT_FALSE(service_->open());

  struct Step {
    const char* what;
    void (*act)(sim::SimMouse&);
    std::vector<LinkChange> heard;
    bool usable;
  };
  const Step steps[] = {
      {"the first mouse arrives", [](sim::SimMouse& m) { m.plug(); }, {LinkChange::kFound}, true},
      {"nothing happens", [](sim::SimMouse&) {}, {}, true},
      {"it is unplugged", [](sim::SimMouse& m) { m.unplug(); }, {LinkChange::kRemoved}, false},
      {"it comes back", [](sim::SimMouse& m) { m.plug(); }, {LinkChange::kBack}, true},
      {"it goes and comes back without access",
       [](sim::SimMouse& m) {
         m.unplug();
         m.denyOpens(true);
         m.plug();
       },
       {LinkChange::kRemoved, LinkChange::kBack},
       false},
      {"it goes and comes back with access",
       [](sim::SimMouse& m) {
         m.unplug();
         m.denyOpens(false);
         m.plug();
       },
       {LinkChange::kRemoved, LinkChange::kBack},
       true},
  };
  for (const Step& step : steps) {
    step.act(*mouse_);
    EXPECT_EQ(service(), step.heard) << step.what;
    EXPECT_EQ(service_->usable(), step.usable) << step.what;
    EXPECT_EQ(service_->link().usable(), step.usable) << step.what;
  }
}

TEST_F(DeviceServiceTest, AnOwnerThatEndsLeavesTheLaterEventsWaiting) {
  ASSERT_TRUE(service_->startHotplugWatch());
  ASSERT_TRUE(service_->open());
  mouse_->unplug();
  mouse_->plug();
  EXPECT_EQ(service(LinkChange::kRemoved), std::vector<LinkChange>{LinkChange::kRemoved});
  EXPECT_FALSE(service_->usable());
  EXPECT_EQ(service(), std::vector<LinkChange>{LinkChange::kBack}) << "the arrival was kept";
  EXPECT_TRUE(service_->usable());
}

TEST_F(DeviceServiceTest, AWatchThatFailsIsTriedAgainAndTheMouseItMissedIsFound) {
  transport_->refuseWatch = true;
  mouse_->unplug();
  EXPECT_FALSE(service_->startHotplugWatch());
  EXPECT_EQ(service_->hotplugProblem(), "no watch today");
  EXPECT_EQ(service_->hotplugDescriptor(), -1);
  EXPECT_FALSE(service_->open());

  mouse_->plug();  // nothing watches: this arrival is not heard
  EXPECT_TRUE(service().empty());
  EXPECT_FALSE(service_->usable());

  transport_->refuseWatch = false;
  EXPECT_EQ(service(), std::vector<LinkChange>{LinkChange::kFound}) << "the watch is back: the mouse is looked for";
  EXPECT_TRUE(service_->usable());
  EXPECT_GE(service_->hotplugDescriptor(), 0);
  EXPECT_TRUE(service_->hotplugProblem().empty());

  // A watch that breaks while it runs is dropped, and started again at the next call.
  transport_->breakWatch = true;
  EXPECT_TRUE(service().empty());
  EXPECT_EQ(service_->hotplugDescriptor(), -1);
  EXPECT_FALSE(service_->hotplugProblem().empty());
  transport_->breakWatch = false;
  EXPECT_TRUE(service().empty()) << "the mouse is open: nothing to look for";
  EXPECT_GE(service_->hotplugDescriptor(), 0);
  mouse_->unplug();
  EXPECT_EQ(service(), std::vector<LinkChange>{LinkChange::kRemoved});
}

TEST(DeviceServiceTrace, TheOneSwitchTracesEveryReportToTheLog) {
  for (const bool on : {false, true}) {
    if (on) {
      ::setenv(kHidLogVariable, "1", 1);
    } else {
      ::unsetenv(kHidLogVariable);
    }
    auto mouse = sim::SimMouse::create(sim::SimOptions{});
    std::vector<std::string> log;
    DeviceService service(TransportChoice{sim::makeInProcessTransport(mouse), mouse},
                          [&log](std::string_view line) { log.emplace_back(line); });
    EXPECT_EQ(service.tracing(), on);
    ASSERT_TRUE(service.open());
    ASSERT_TRUE(service.protocol().readStatus());
    ASSERT_TRUE(service.protocol().hostExit());
    if (!on) {
      EXPECT_TRUE(log.empty()) << ::testing::PrintToString(log);
      continue;
    }
    ASSERT_EQ(log.size(), 2U) << ::testing::PrintToString(log);
    EXPECT_EQ(log[0].rfind("hid: GET ", 0), 0U) << log[0];
    EXPECT_EQ(log[1].rfind("hid: SET ", 0), 0U) << log[1];
  }
  ::unsetenv(kHidLogVariable);
}

}  // namespace
}  // namespace quillet
