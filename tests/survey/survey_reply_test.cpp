// The survey service's reply, as the submission reads it.
#include <gtest/gtest.h>

#include "core/survey/survey_reply.h"

namespace quillet::survey {
namespace {

TEST(SurveyReply, StatusDecidesTheOutcome) {
  const std::vector<std::pair<std::string, ReplyOutcome>> cases{
      {R"({"status":"1000"})", ReplyOutcome::Accepted},
      {R"({"status":"1001"})", ReplyOutcome::Refused},
      {R"({"status":"1002"})", ReplyOutcome::InvalidEmail},
      {R"({"status":"ok"})", ReplyOutcome::Accepted},  // any other string
      {R"({"status":""})", ReplyOutcome::Accepted},
      {R"({ "msg": "x", "status" : "1001" })", ReplyOutcome::Refused},
      // The body is URL-decoded before it is parsed.
      {"%7B%22status%22%3A%221001%22%7D", ReplyOutcome::Refused},
      {R"({"status":"10+02"})", ReplyOutcome::Accepted},  // "10 02"
      // Integers read as their digits; nothing else is a status.
      {R"({"status":1001})", ReplyOutcome::Refused},
      {R"({"status":1002})", ReplyOutcome::InvalidEmail},
      {R"({"status":1000})", ReplyOutcome::Accepted},
      {R"({"status":1001.5})", ReplyOutcome::Malformed},
      {R"({"status":true})", ReplyOutcome::Malformed},
      {R"({"status":null})", ReplyOutcome::Malformed},
      {R"({"status":["1000"]})", ReplyOutcome::Malformed},
      {R"({"status":{"code":"1000"}})", ReplyOutcome::Malformed},
      {R"({})", ReplyOutcome::Malformed},
      {R"(["1000"])", ReplyOutcome::Malformed},
      {R"("1000")", ReplyOutcome::Malformed},
      {"", ReplyOutcome::Malformed},
      {"<html>Sign in to the network</html>", ReplyOutcome::Malformed},
      {R"({"status":"1000")", ReplyOutcome::Malformed},
  };
  for (const auto& [body, outcome] : cases) {
    EXPECT_EQ(parseSurveyReply(body), outcome) << body;
  }
}

TEST(SurveyReply, DeepNestingIsAMalformedReplyNotACrash) {
  const std::string deep = "{\"status\":" + std::string(100000, '[') + std::string(100000, ']') + "}";
  EXPECT_EQ(parseSurveyReply(deep), ReplyOutcome::Malformed);
}

}  // namespace
}  // namespace quillet::survey
