// The uhid front without a kernel: the HID devices of each layout, the creation event the kernel
// gets, the answers to its report requests, and a mouse that goes after a number of reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "core/device/device_protocol.h"
#include "core/io/hid_report_descriptor.h"
#include "sim_control.h"
#include "uhid_front.h"

namespace {

using namespace quillet;
using namespace quillet::sim;

struct LayoutCase {
  UhidLayout layout;
  // Per device: the usage pages of its collections, in order.
  std::vector<std::vector<std::uint16_t>> pages;
};

TEST(UhidLayouts, EachCollectionOnceWithTheLengthsOfItsDescriptor) {
  for (const LayoutCase& c : {LayoutCase{UhidLayout::kSplit, {{0xFF01}, {0xFF00}, {0x0001}}},
                              LayoutCase{UhidLayout::kShared, {{0xFF00, 0xFF01}, {0x0001}}}}) {
    SCOPED_TRACE(c.layout == UhidLayout::kSplit ? "split" : "shared");
    const auto devices = uhidDevices(c.layout);
    ASSERT_EQ(devices.size(), c.pages.size());
    int seen[kNodeCount] = {};
    for (std::size_t d = 0; d < devices.size(); ++d) {
      for (NodeRole role : devices[d].roles) {
        ++seen[static_cast<int>(role)];
      }
      // What the kernel and the host's parser make of the device's descriptor.
      const hid::DescriptorInfo info = hid::parseReportDescriptor(devices[d].descriptor);
      ASSERT_TRUE(info.ok()) << info.error;
      ASSERT_EQ(info.collections.size(), c.pages[d].size());
      for (std::size_t k = 0; k < info.collections.size(); ++k) {
        const hid::CollectionCaps& caps = info.collections[k];
        EXPECT_EQ(caps.usagePage, c.pages[d][k]);
        if (caps.usagePage == kEventUsagePage) {
          EXPECT_EQ(caps.inputReportLength, kEventReportBytes);
          EXPECT_EQ(caps.featureReportLength, 0);
        } else if (caps.usagePage == kCommandUsagePage) {
          EXPECT_EQ(caps.featureReportLength, kFeatureReportBytes);
          EXPECT_EQ(caps.inputReportLength, 0);
        }
      }
      EXPECT_EQ(devices[d].carries(NodeRole::kMouse), c.pages[d].front() == 0x0001);
    }
    for (int n : seen) {
      EXPECT_EQ(n, 1) << "every collection is on exactly one device";
    }
  }
  EXPECT_EQ(parseUhidLayout("split"), UhidLayout::kSplit);
  EXPECT_EQ(parseUhidLayout("shared"), UhidLayout::kShared);
  EXPECT_EQ(parseUhidLayout("Split"), std::nullopt);
  EXPECT_EQ(parseUhidLayout(""), std::nullopt);
}

TEST(UhidCreate, AUsbDeviceWithTheMousesIdsAndDescriptor) {
  const UhidDeviceSpec spec = uhidDevices(UhidLayout::kShared).front();
  const std::string longName(300, 'n');
  const uhid_event e = create2Event(spec, {0x30FA, 0x1030}, longName, "quillet-sim/1/0");
  EXPECT_EQ(e.type, UHID_CREATE2);
  EXPECT_EQ(e.u.create2.bus, 0x03);
  EXPECT_EQ(e.u.create2.vendor, 0x30FAu);
  EXPECT_EQ(e.u.create2.product, 0x1030u);
  ASSERT_EQ(e.u.create2.rd_size, spec.descriptor.size());
  EXPECT_EQ(std::memcmp(e.u.create2.rd_data, spec.descriptor.data(), spec.descriptor.size()), 0);
  // Texts longer than their fields are cut and stay terminated.
  EXPECT_EQ(std::strlen(reinterpret_cast<const char*>(e.u.create2.name)), sizeof e.u.create2.name - 1);
  EXPECT_STREQ(reinterpret_cast<const char*>(e.u.create2.phys), "quillet-sim/1/0");
}

uhid_event setReport(std::uint32_t id, std::uint8_t type, std::uint8_t number, std::vector<std::uint8_t> data) {
  uhid_event e{};
  e.type = UHID_SET_REPORT;
  e.u.set_report.id = id;
  e.u.set_report.rtype = type;
  e.u.set_report.rnum = number;
  e.u.set_report.size = static_cast<std::uint16_t>(data.size());
  std::copy(data.begin(), data.end(), e.u.set_report.data);
  return e;
}

uhid_event getReport(std::uint32_t id, std::uint8_t type, std::uint8_t number) {
  uhid_event e{};
  e.type = UHID_GET_REPORT;
  e.u.get_report.id = id;
  e.u.get_report.rtype = type;
  e.u.get_report.rnum = number;
  return e;
}

TEST(UhidAnswers, FeatureReportSevenReachesTheFirmwareAndNothingElseDoes) {
  auto mouse = SimMouse::create({kAcceptedIds[0], 9, {}});
  auto commands = mouse->openForFront(NodeRole::kCommands);
  ASSERT_NE(commands, nullptr);
  const auto block = command::writeByte(0, 0x0123, 0x5A, 0);
  const std::vector<std::uint8_t> data(block.begin(), block.end());

  struct Case {
    const char* name;
    uhid_event request;
    bool handle;
    int err;
  };
  std::vector<std::uint8_t> wrongId = data;
  wrongId[0] = 6;
  for (const Case& c : {
           Case{"a data report", setReport(11, UHID_FEATURE_REPORT, 7, data), true, 0},
           Case{"an output report", setReport(12, UHID_OUTPUT_REPORT, 7, data), true, EIO},
           Case{"report 6", setReport(13, UHID_FEATURE_REPORT, 6, wrongId), true, EIO},
           Case{"a number that is not the data's", setReport(14, UHID_FEATURE_REPORT, 7, wrongId), true, EIO},
           Case{"no data", setReport(15, UHID_FEATURE_REPORT, 7, {}), true, EIO},
           Case{"no mouse", setReport(16, UHID_FEATURE_REPORT, 7, data), false, EIO},
           Case{"the status", getReport(21, UHID_FEATURE_REPORT, 7), true, 0},
           Case{"an input report", getReport(22, UHID_INPUT_REPORT, 7), true, EIO},
           Case{"feature report 6", getReport(23, UHID_FEATURE_REPORT, 6), true, EIO},
           Case{"the status of no mouse", getReport(24, UHID_FEATURE_REPORT, 7), false, EIO},
       }) {
    SCOPED_TRACE(c.name);
    const auto reply = answerRequest(c.handle ? commands.get() : nullptr, c.request);
    ASSERT_TRUE(reply.has_value());
    if (c.request.type == UHID_SET_REPORT) {
      EXPECT_EQ(reply->type, UHID_SET_REPORT_REPLY);
      EXPECT_EQ(reply->u.set_report_reply.id, c.request.u.set_report.id);
      EXPECT_EQ(reply->u.set_report_reply.err, c.err);
    } else {
      EXPECT_EQ(reply->type, UHID_GET_REPORT_REPLY);
      EXPECT_EQ(reply->u.get_report_reply.id, c.request.u.get_report.id);
      EXPECT_EQ(reply->u.get_report_reply.err, c.err);
      if (c.err == 0) {
        // The status as the firmware gives it, report ID first: the kernel passes it on as is.
        StatusReport status{};
        mouse->inspect([&](const Firmware& fw) { status = fw.status(); });
        ASSERT_EQ(reply->u.get_report_reply.size, status.size());
        EXPECT_TRUE(std::equal(status.begin(), status.end(), reply->u.get_report_reply.data));
        EXPECT_EQ(reply->u.get_report_reply.data[0], kFeatureReportId);
        EXPECT_EQ(reply->u.get_report_reply.data[7] & 0x0F, 9) << "the device value";
      }
    }
  }
  // The one data report that was taken: the block goes on with its commit.
  const auto commit = command::commit(0x0123, 0);
  EXPECT_EQ(answerRequest(commands.get(), setReport(31, UHID_FEATURE_REPORT, 7, {commit.begin(), commit.end()}))
                ->u.set_report_reply.err,
            0);
  mouse->inspect([](const Firmware& fw) { EXPECT_EQ(fw.memory()[0x0123], 0x5A); });

  // Events that want no answer get none.
  for (std::uint32_t type : {UHID_START, UHID_STOP, UHID_OPEN, UHID_CLOSE, UHID_OUTPUT}) {
    uhid_event e{};
    e.type = type;
    EXPECT_FALSE(answerRequest(commands.get(), e).has_value()) << type;
  }
}

TEST(UhidAnswers, TheFrontStillOpensWhatTheHostIsDenied) {
  auto mouse = SimMouse::create({});
  mouse->denyOpens(true);
  std::string error;
  EXPECT_EQ(mouse->open(mouse->nodePath(NodeRole::kCommands), error), nullptr);
  EXPECT_NE(mouse->openForFront(NodeRole::kCommands), nullptr);
  mouse->unplug();
  EXPECT_EQ(mouse->openForFront(NodeRole::kCommands), nullptr) << "nothing to open while unplugged";
}

TEST(UhidHooks, InputAndAccessReachTheFrontAndGlitchSaysItCannot) {
  auto mouse = SimMouse::create({});
  std::vector<std::vector<std::uint8_t>> inputs;
  std::vector<bool> access;
  mouse->setFrontHooks({[&](std::span<const std::uint8_t> r) { inputs.emplace_back(r.begin(), r.end()); },
                        [&](bool allowed) { access.push_back(allowed); }});
  std::string error;
  ASSERT_TRUE(mouse->switchProfile(3, error)) << error;
  ASSERT_EQ(inputs.size(), 1u);
  EXPECT_EQ(inputs[0].size(), kEventReportBytes);
  EXPECT_EQ(inputs[0][0], 6) << "the event report, report ID first";
  runControl(*mouse, "deny");
  runControl(*mouse, "allow");
  EXPECT_EQ(access, (std::vector<bool>{false, true}));
  const auto glitch = runControl(*mouse, "glitch");
  EXPECT_EQ(glitch.exitCode, kControlFailed);
  EXPECT_NE(glitch.text.find("kernel"), std::string::npos);
  // Unplugged, nothing goes to the front.
  mouse->unplug();
  EXPECT_FALSE(mouse->switchProfile(2, error));
  EXPECT_EQ(inputs.size(), 1u);
  // Without a front, glitch is the simulated node's read error, as before.
  auto plain = SimMouse::create({});
  EXPECT_EQ(runControl(*plain, "glitch").exitCode, kControlOk);
}

TEST(UnplugAfterReports, TheMouseTakesExactlyThatManyReports) {
  const auto report = command::writeByte(0, 0x0200, 1, 0);
  for (int n : {1, 2, 5}) {
    SCOPED_TRACE(n);
    auto mouse = SimMouse::create({});
    ASSERT_EQ(runControl(*mouse, "unplug " + std::to_string(n)).exitCode, kControlOk);
    std::string error;
    auto handle = mouse->open(mouse->nodePath(NodeRole::kCommands), error);
    ASSERT_NE(handle, nullptr) << error;
    int taken = 0;
    while (taken < 10 && handle->sendFeatureReport(report)) {
      ++taken;
    }
    EXPECT_EQ(taken, n);
    EXPECT_FALSE(mouse->plugged());
    // Plugged again, the plan is spent: the mouse stays.
    mouse->plug();
    handle = mouse->open(mouse->nodePath(NodeRole::kCommands), error);
    ASSERT_NE(handle, nullptr);
    for (int i = 0; i < 10; ++i) {
      EXPECT_TRUE(handle->sendFeatureReport(report));
    }
  }
  // An unplug before the planned one cancels the plan.
  auto mouse = SimMouse::create({});
  runControl(*mouse, "unplug 3");
  mouse->unplug();
  mouse->plug();
  std::string error;
  auto handle = mouse->open(mouse->nodePath(NodeRole::kCommands), error);
  for (int i = 0; i < 5; ++i) {
    EXPECT_TRUE(handle->sendFeatureReport(report));
  }
  for (const char* bad : {"unplug 0", "unplug -2", "unplug x", "unplug 2x"}) {
    EXPECT_EQ(runControl(*mouse, bad).exitCode, kControlUsage) << bad;
  }
}

}  // namespace
