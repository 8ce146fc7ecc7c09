// The survey request: MD5, the escaping of its values, the query's keys and order, the signature
// and the limits that keep every request checkable by the service.
#include <gtest/gtest.h>

#include <random>

#include "core/survey/survey_query.h"
#include "core/survey/survey_rules.h"
#include "linux/md5.h"

namespace quillet::survey {
namespace {

TEST(SurveyMd5, MatchesTheTestSuiteOfRfc1321) {
  const std::vector<std::pair<std::string, std::string>> suite{
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& [input, digest] : suite) {
    EXPECT_EQ(md5Hex(input), digest) << '"' << input << '"';
  }
}

TEST(SurveyEscape, WritesLettersDigitsSpacesAndEveryOtherByteByTheRule) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {"What game to play:", "What+game+to+play%3A"},
      {"Facebook:", "Facebook%3A"},
      {"Jo Ann", "Jo+Ann"},
      {"a-b_c.d@e", "a%2Db%5Fc%2Ed%40e"},
      {"中", "%E4%B8%AD"},        // a character above 0x7F: its UTF-8 bytes
      {"Zoë", "Zo%C3%AB"},        // two-byte characters stay two bytes
      {"a\tb\nc", "a%09b%0Ac"},   // only a space may become '+': the service reads '+' as a space
      {"100%+", "100%25%2B"},
      {"", ""},
  };
  for (const auto& [value, escaped] : cases) {
    EXPECT_EQ(urlEscape(value), escaped) << value;
  }
}

TEST(SurveyEscape, LeavesPlainValuesAsTheyAreAndEscapesOnlyWhatAQueryCannotCarry) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {"someone-1.x@mail.com", "someone-1.x@mail.com"},
      {"Germany", "Germany"},
      {"0A-1B-2C-3D-4E-5F", "0A-1B-2C-3D-4E-5F"},
      {"New Zealand", "New%20Zealand"},
      {"Côte d'Ivoire", "C%C3%B4te%20d'Ivoire"},
      {"a+b@x.com", "a%2Bb@x.com"},
      {"x&y=z#w%", "x%26y%3Dz%23w%25"},
  };
  for (const auto& [value, written] : cases) {
    EXPECT_EQ(queryValueText(value), written) << value;
  }
}

TEST(SurveyEscape, DecodingGivesBackEveryByteStringBothWays) {
  std::mt19937 random(736);
  std::uniform_int_distribution<int> length(0, 40);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 2000; ++round) {
    std::string s(static_cast<std::size_t>(length(random)), '\0');
    for (char& c : s) {
      c = static_cast<char>(byte(random));
    }
    ASSERT_EQ(percentDecode(urlEscape(s)), s);
    ASSERT_EQ(percentDecode(queryValueText(s)), s);
    // Neither escaped form holds a byte that would split or end the query.
    for (const std::string& written : {urlEscape(s), queryValueText(s)}) {
      ASSERT_EQ(written.find_first_of("&=# \r\n"), std::string::npos) << written;
    }
  }
  EXPECT_EQ(percentDecode("50%"), "50%");
  EXPECT_EQ(percentDecode("%zz%4"), "%zz%4");
  EXPECT_EQ(percentDecode("%e4%B8%ad+x"), "中 x");
}

SurveyRecord answers() {
  SurveyRecord r;
  r.region = "New Zealand";
  r.name = "Jo Ann";
  r.age = "27";
  r.facebook = std::string(kFacebookHint);
  r.email = "jo-ann.smith@mail.com";
  r.game = "Rocket League";
  r.isMale = 0;
  r.macText = "0A-1B-2C-3D-4E-5F";
  return r;
}

TEST(SurveyRequest, IsTheHandComputedUrl) {
  const PreparedSurvey p = prepareSurvey(answers(), md5Hex);
  ASSERT_TRUE(p.request);
  EXPECT_EQ(p.request->signingText,
            "age=27&area=New Zealand&email=jo-ann.smith@mail.com&game=Rocket League&mac=0A-1B-2C-3D-4E-5F"
            "&name=Jo Ann&sexuality=female&types=K736sekdaAPI");
  // md5 of the signing text, computed apart from this code (md5sum).
  EXPECT_EQ(p.request->signature, "d6ec84bac06ab1711457e15208143917");
  EXPECT_EQ(surveyUrl("survey.example:8080", *p.request),
            "http://survey.example:8080/v1/driver_survey/?age=27&area=New%20Zealand&email=jo-ann.smith@mail.com"
            "&game=Rocket+League&mac=0A-1B-2C-3D-4E-5F&name=Jo+Ann&sexuality=female&types=K736"
            "&sign=d6ec84bac06ab1711457e15208143917");
}

// The keys of a query, in order.
std::vector<std::string> keysOf(std::string_view query) {
  std::vector<std::string> keys;
  while (!query.empty()) {
    const std::size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    keys.emplace_back(pair.substr(0, pair.find('=')));
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
  }
  return keys;
}

TEST(SurveyRequest, KeysComeInTheirOrderWithTheOptionalOnesOnlyWhenAnswered) {
  struct Case {
    std::string facebook, game;
    std::vector<std::string> keys;
  };
  const std::vector<std::string> base{"age", "area", "email", "mac", "name", "sexuality", "types"};
  const std::vector<Case> cases{
      {std::string(kFacebookHint), std::string(kGameHint), base},
      {"", "", base},
      {"fb.me/jo", std::string(kGameHint), {"age", "area", "email", "facebook", "mac", "name", "sexuality", "types"}},
      {"", "Chess", {"age", "area", "email", "game", "mac", "name", "sexuality", "types"}},
      {"jo", "Chess", {"age", "area", "email", "facebook", "game", "mac", "name", "sexuality", "types"}},
      // The hints' escaped forms typed as answers are answers.
      {"Facebook%3A", "What+game+to+play%3A",
       {"age", "area", "email", "facebook", "game", "mac", "name", "sexuality", "types"}},
  };
  for (const Case& c : cases) {
    SurveyRecord r = answers();
    r.facebook = c.facebook;
    r.game = c.game;
    const PreparedSurvey p = prepareSurvey(r, md5Hex);
    ASSERT_TRUE(p.request);
    EXPECT_EQ(keysOf(p.request->query), c.keys) << c.facebook << " / " << c.game;
    const std::string signedKeys = p.request->signingText.substr(0, p.request->signingText.size() - kSigningSalt.size());
    EXPECT_EQ(keysOf(signedKeys), c.keys) << "the signature covers the same keys";
  }
}

TEST(SurveyRequest, SignsTheTypedValuesAndSendsTheEscapedOnes) {
  SurveyRecord r = answers();
  r.region = "China";
  r.name = "中文";
  r.age = "7";
  r.email = "a@b.cn";
  r.game = std::string(kGameHint);
  r.isMale = 1;
  r.macText.clear();  // no adapter address: the key stays, empty
  const PreparedSurvey p = prepareSurvey(r, md5Hex);
  ASSERT_TRUE(p.request);
  EXPECT_EQ(p.request->query, "age=7&area=China&email=a@b.cn&mac=&name=%E4%B8%AD%E6%96%87&sexuality=male&types=K736");
  EXPECT_EQ(p.request->signature, "b13c8c2d698c8ea363bf4dcc67a707fb");
}

TEST(SurveyLimits, EscapedValuesAndTheSigningTextStayWithinTheirBytes) {
  const auto limitOf = [](const std::function<void(SurveyRecord&)>& change) {
    SurveyRecord r = answers();
    change(r);
    return prepareSurvey(r, md5Hex).limit;
  };
  const std::string cjk21 = [] {
    std::string s;
    for (int i = 0; i < 21; ++i) s += "中";
    return s;
  }();
  EXPECT_EQ(limitOf([](SurveyRecord& r) { r.name = std::string(63, 'n'); }), SurveyLimit::None);
  EXPECT_EQ(limitOf([](SurveyRecord& r) { r.name = std::string(64, 'n'); }), SurveyLimit::NameTooLong);
  EXPECT_EQ(limitOf([&](SurveyRecord& r) { r.facebook = cjk21; }), SurveyLimit::None);  // 63 bytes
  EXPECT_EQ(limitOf([&](SurveyRecord& r) { r.facebook = cjk21 + "x"; }), SurveyLimit::FacebookTooLong);
  EXPECT_EQ(limitOf([](SurveyRecord& r) { r.game = std::string(64, 'g'); }), SurveyLimit::GameTooLong);
  EXPECT_EQ(limitOf([](SurveyRecord& r) { r.name = ""; }), SurveyLimit::Unanswered);
  EXPECT_EQ(limitOf([](SurveyRecord& r) { r.email = std::string(kEmailHint); }), SurveyLimit::Unanswered);

  // A longer region fills the signing text up to its limit, and one byte more is refused.
  const std::size_t base = prepareSurvey(answers(), md5Hex).request->signingText.size();
  const std::size_t room = kMaxSigningTextBytes - base;
  EXPECT_EQ(limitOf([&](SurveyRecord& r) { r.region += std::string(room, 'r'); }), SurveyLimit::None);
  EXPECT_EQ(limitOf([&](SurveyRecord& r) { r.region += std::string(room + 1, 'r'); }), SurveyLimit::SigningTextTooLong);
}

TEST(SurveyLimits, EveryRefusalHasATextInBothLanguages) {
  for (const SurveyLimit limit : {SurveyLimit::Unanswered, SurveyLimit::NameTooLong, SurveyLimit::FacebookTooLong,
                                  SurveyLimit::GameTooLong, SurveyLimit::SigningTextTooLong, SurveyLimit::NoDigest}) {
    EXPECT_FALSE(surveyLimitText(limit, kEnglish).empty());
    EXPECT_FALSE(surveyLimitText(limit, kChinese).empty());
  }
  EXPECT_EQ(surveyLimitText(SurveyLimit::Unanswered, kEnglish), "The required items can not be empty");
}

}  // namespace
}  // namespace quillet::survey
