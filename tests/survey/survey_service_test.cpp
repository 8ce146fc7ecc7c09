// Where the survey goes (QUILLET_SURVEY_HOST) and the adapter address it carries.
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/survey/survey_service.h"
#include "linux/adapter_address.h"

namespace quillet::survey {
namespace {

TEST(SurveyService, HostOrHostAndPort) {
  struct Case {
    const char* text;
    std::optional<std::string> authority;
  };
  const std::vector<Case> cases{
      {"survey.example", "survey.example:8080"},
      {"127.0.0.1:9000", "127.0.0.1:9000"},
      {"my_host-2:1", "my_host-2:1"},
      {"[::1]", "[::1]:8080"},
      {"[::1]:65535", "[::1]:65535"},
      {"", std::nullopt},
      {"host:", std::nullopt},
      {"host:0", std::nullopt},
      {"host:65536", std::nullopt},
      {"host:80a", std::nullopt},
      {"host:1:2", std::nullopt},
      {"http://host", std::nullopt},
      {"host/path", std::nullopt},
      {"host name", std::nullopt},
      {":8080", std::nullopt},
      {"[::1", std::nullopt},
      {"[]:80", std::nullopt},
      {"[::1]x", std::nullopt},
  };
  for (const Case& c : cases) {
    const std::optional<SurveyService> s = parseSurveyService(c.text);
    EXPECT_EQ(s ? std::optional<std::string>(s->authority()) : std::nullopt, c.authority) << c.text;
  }
}

TEST(SurveyService, TheVariableOverridesTheBuiltInHostAndAMalformedOneSendsNothing) {
  ::unsetenv(kSurveyHostVariable);
  // The build's setting, as the build was configured with it.
  EXPECT_EQ(builtInSurveyHost(), QUILLET_BUILT_IN_SURVEY_HOST);
  ServiceChoice c = surveyServiceFromEnvironment();
  ASSERT_TRUE(c.service);
  const std::string setting = QUILLET_BUILT_IN_SURVEY_HOST;
  EXPECT_EQ(c.service->authority(), setting.find(':') == std::string::npos ? setting + ":8080" : setting);

  ::setenv(kSurveyHostVariable, "127.0.0.1:18080", 1);
  c = surveyServiceFromEnvironment();
  ASSERT_TRUE(c.service);
  EXPECT_EQ(c.service->authority(), "127.0.0.1:18080");

  ::setenv(kSurveyHostVariable, "127.0.0.1:x", 1);
  c = surveyServiceFromEnvironment();
  EXPECT_FALSE(c.service);
  EXPECT_NE(c.problem.find("127.0.0.1:x"), std::string::npos);
  ::unsetenv(kSurveyHostVariable);
}

TEST(AdapterAddress, FirstInterfaceWithASixByteAddressThatIsNotALoopback) {
  using Bytes = std::vector<std::uint8_t>;
  const Bytes ether{0x0A, 0x1B, 0x2C, 0xD3, 0xE4, 0xF5};
  const std::vector<NetworkInterface> list{
      {"lo", true, Bytes(6, 0)},
      {"tun0", false, {}},
      {"sit0", false, Bytes{0, 0, 0, 0}},
      {"dummy", false, Bytes(6, 0)},
      {"eth0", false, ether},
      {"wlan0", false, Bytes{1, 2, 3, 4, 5, 6}},
  };
  EXPECT_EQ(adapterAddressText(list), "0A-1B-2C-D3-E4-F5");
  EXPECT_EQ(adapterAddressText(std::span(list).first(4)), "");
  const std::vector<NetworkInterface> loopbackOnly{{"lo", true, ether}};
  EXPECT_EQ(adapterAddressText(loopbackOnly), "");

  // This machine: either nothing or six upper-case pairs joined by '-'.
  const std::string own = adapterAddressText();
  if (!own.empty()) {
    ASSERT_EQ(own.size(), 17u);
    for (std::size_t i = 0; i < own.size(); ++i) {
      const char c = own[i];
      EXPECT_TRUE(i % 3 == 2 ? c == '-' : ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) << own;
    }
  }
  for (const NetworkInterface& i : listNetworkInterfaces()) {
    if (i.name == "lo") {
      EXPECT_TRUE(i.loopback);
    }
  }
}

}  // namespace
}  // namespace quillet::survey
