// The shipped udev rule gives the seat's user the hidraw nodes of exactly the mice discovery
// accepts: each accepted pair once, nothing else, and no mode that would open them to everyone.
// It matches the HID device's kernel name (bus:VENDOR:PRODUCT.instance, upper-case hex as the
// kernel writes it): a match on the USB device's attributes misses a HID device without a USB
// parent (the kernel tests' uhid mouse showed it).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <utility>

#include "core/device/device_link.h"

namespace quillet {
namespace {

TEST(UdevRule, NamesExactlyTheAcceptedMiceForTheSeatsUser) {
  std::ifstream in(std::filesystem::path(QUILLET_SOURCE_DIR) / "data" / "udev" / kUdevRuleName);
  ASSERT_TRUE(in) << "no " << kUdevRuleName;
  const std::regex rule(
      R"re(SUBSYSTEM=="hidraw", KERNELS=="0003:([0-9A-F]{4}):([0-9A-F]{4})\.\*", TAG\+="uaccess")re");
  std::multiset<std::pair<int, int>> named;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line.front() == '#') {
      continue;
    }
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, rule)) << "a rule of another form: " << line;
    named.insert({std::stoi(m[1], nullptr, 16), std::stoi(m[2], nullptr, 16)});
  }
  std::multiset<std::pair<int, int>> accepted;
  for (const VidPid& id : kAcceptedIds) {
    accepted.insert({id.vendorId, id.productId});
  }
  EXPECT_EQ(named, accepted);
}

}  // namespace
}  // namespace quillet
