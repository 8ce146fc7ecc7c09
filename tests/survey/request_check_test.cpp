// The survey service's check of a request (quillet-survey-server): what the utility sends
// passes, and every way a request can differ from it is caught.
#include <gtest/gtest.h>

#include "core/survey/survey_query.h"
#include "linux/md5.h"
#include "request_check.h"

namespace quillet::survey_server {
namespace {

std::string target(const survey::SignedQuery& q) {
  return std::string(survey::kSurveyPath) + "?" + q.query + "&sign=" + q.signature;
}

survey::SignedQuery sent(const std::string& facebook = "Facebook:", const std::string& game = "What game to play:") {
  survey::SurveyRecord r;
  r.region = "Côte d'Ivoire";
  r.name = "Kouadio Yao";
  r.age = "31";
  r.facebook = facebook;
  r.email = "k.yao-1@mail.ci";
  r.game = game;
  r.isMale = 1;
  r.macText = "";
  return *survey::prepareSurvey(r, md5Hex).request;
}

TEST(RequestCheck, WhatTheUtilitySendsPasses) {
  for (const auto& q : {sent(), sent("ky", "Go 围棋"), sent("", "x&y=z")}) {
    const Check c = checkSurveyRequest(target(q));
    EXPECT_EQ(c.verdict, Verdict::Valid) << target(q) << ": " << c.detail;
  }
  const Check c = checkSurveyRequest(target(sent("ky")));
  ASSERT_EQ(c.values.size(), 9u);
  EXPECT_EQ(c.values[1], (std::pair<std::string, std::string>{"area", "Côte d'Ivoire"}));
  EXPECT_EQ(c.values[5], (std::pair<std::string, std::string>{"name", "Kouadio Yao"}));
}

TEST(RequestCheck, EveryDifferenceIsCaught) {
  const std::string good = target(sent("ky"));
  const auto edit = [&](const std::string& from, const std::string& to) {
    std::string t = good;
    const std::size_t at = t.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? t : t.replace(at, from.size(), to);
  };
  struct Case {
    std::string target;
    Verdict verdict;
  };
  const std::vector<Case> cases{
      {edit("/v1/driver_survey/", "/v1/driver_survey"), Verdict::WrongPath},
      {"/v1/driver_survey/", Verdict::BadKeys},
      {edit("age=31&area=", "area=C&age=31&area="), Verdict::BadKeys},              // order
      {edit("&facebook=ky", ""), Verdict::BadSignature},                             // signed with facebook
      {edit("&mac=", "&mac=&mac="), Verdict::BadKeys},                               // twice
      {edit("&types=K736", ""), Verdict::BadKeys},                                   // missing
      {good + "&extra=1", Verdict::BadKeys},
      {edit("&sexuality=male", "&sexuality"), Verdict::BadKeys},
      {edit("Kouadio+Yao", "Kouadio%20Yao"), Verdict::BadValue},                     // not urlEscape's form
      {edit("C%C3%B4te", "C%c3%b4te"), Verdict::BadValue},                           // lower-case hex
      {edit("k.yao-1@mail.ci", "k%2Eyao-1@mail.ci"), Verdict::BadValue},
      {edit("sexuality=male", "sexuality=other"), Verdict::BadValue},
      {edit("types=K736", "types=K737"), Verdict::BadValue},
      {edit("age=31", "age=32"), Verdict::BadSignature},
      {good.substr(0, good.size() - 1) + "x", Verdict::BadValue},                  // not hex
  };
  for (const Case& c : cases) {
    const Check check = checkSurveyRequest(c.target);
    EXPECT_EQ(check.verdict, c.verdict) << c.target << ": " << check.detail;
    EXPECT_FALSE(check.detail.empty()) << c.target;
  }
  // The signature in upper case is not the signature.
  std::string upper = good;
  for (std::size_t i = upper.size() - 32; i < upper.size(); ++i) {
    upper[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(upper[i])));
  }
  if (upper != good) {
    EXPECT_EQ(checkSurveyRequest(upper).verdict, Verdict::BadValue);
  }
}

}  // namespace
}  // namespace quillet::survey_server
