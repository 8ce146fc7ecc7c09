// The survey form's rules: required answers, the age and e-mail formats, the messages, and the
// character filter of its edit boxes.
#include <gtest/gtest.h>

#include "core/skin/character_filter.h"
#include "core/survey/survey_rules.h"

namespace quillet::survey {
namespace {

TEST(SurveyRules, AgeIsDigitsWithOneThatIsNotZero) {
  for (const char* ok : {"1", "007", "25", "100", "0000000009"}) {
    EXPECT_TRUE(validAge(ok)) << ok;
  }
  for (const char* bad : {"", "0", "00", "1a", "a1", " 1", "1 ", "-1", "+1", "1.5", "١٢", "Age:"}) {
    EXPECT_FALSE(validAge(bad)) << bad;
  }
}

TEST(SurveyRules, EmailHoldsAWellFormedAddressSomewhere) {
  for (const char* ok : {"jo@mail.com", "jo.ann-1_x@mail.com", "a@b.cn", "x@mail.co.uk", "John <jo@mail.com>",
                         "邮箱jo@mail.com", "jo@mail.comma"}) {
    EXPECT_TRUE(validEmail(ok)) << ok;
  }
  for (const char* bad : {"", "E-mail:", "jo@", "@mail.com", "jo@mail", "jo@mail.c", "jo@MAIL.COM", "jo mail.com"}) {
    EXPECT_FALSE(validEmail(bad)) << bad;
  }
}

SurveyRecord complete() {
  SurveyRecord r;
  r.region = "Chile";
  r.name = "Ana";
  r.age = "30";
  r.email = "ana@mail.cl";
  r.facebook = std::string(kFacebookHint);
  r.game = std::string(kGameHint);
  return r;
}

TEST(SurveyRules, RequiredAnswersAreCheckedFirstThenAgeThenEmail) {
  struct Case {
    const char* what;
    std::function<void(SurveyRecord&)> change;
    AnswerProblem problem;
  };
  const std::vector<Case> cases{
      {"complete", [](SurveyRecord&) {}, AnswerProblem::None},
      {"country shows its hint", [](SurveyRecord& r) { r.region = "Country:"; }, AnswerProblem::RequiredMissing},
      {"hint compared exactly", [](SurveyRecord& r) { r.region = "country:"; }, AnswerProblem::None},
      {"no name", [](SurveyRecord& r) { r.name.clear(); }, AnswerProblem::RequiredMissing},
      {"age hint", [](SurveyRecord& r) { r.age = "Age:"; }, AnswerProblem::RequiredMissing},
      {"e-mail hint", [](SurveyRecord& r) { r.email = "E-mail:"; }, AnswerProblem::RequiredMissing},
      {"optional ones empty", [](SurveyRecord& r) { r.facebook.clear(), r.game.clear(); }, AnswerProblem::None},
      {"bad age before bad e-mail", [](SurveyRecord& r) { r.age = "0", r.email = "x"; }, AnswerProblem::AgeFormat},
      {"bad e-mail", [](SurveyRecord& r) { r.email = "ana"; }, AnswerProblem::EmailFormat},
      {"missing beats bad age", [](SurveyRecord& r) { r.name.clear(), r.age = "x"; }, AnswerProblem::RequiredMissing},
  };
  for (const Case& c : cases) {
    SurveyRecord r = complete();
    c.change(r);
    EXPECT_EQ(checkAnswers(r), c.problem) << c.what;
  }
}

TEST(SurveyRules, MessagesAreTheFormsOwn) {
  EXPECT_EQ(answerProblemText(AnswerProblem::RequiredMissing, kEnglish), "The required items can not be empty");
  EXPECT_EQ(answerProblemText(AnswerProblem::RequiredMissing, kChinese), "必填项目不能为空");
  for (const Language l : {kEnglish, kChinese}) {
    EXPECT_EQ(answerProblemText(AnswerProblem::AgeFormat, l), "年龄格式有误");
    EXPECT_EQ(answerProblemText(AnswerProblem::EmailFormat, l), "邮箱格式有误");
  }
  EXPECT_EQ(sexualityWord(1), "male");
  EXPECT_EQ(sexualityWord(0), "female");
}

TEST(SurveyCharacterFilter, AcceptsOnlyTheCharactersOfAnAnswer) {
  for (const char32_t c : {U'\b', U'0', U'9', U'A', U'Z', U'a', U'z', U'_', U'@', U'.', char32_t{0x4E00},
                           char32_t{0x4E2D}, char32_t{0x9FA5}}) {
    EXPECT_TRUE(surveyCharacterAccepted(c)) << static_cast<unsigned>(c);
  }
  for (const char32_t c : {U'#', U' ', U'-', U'+', U'\t', U'\r', char32_t{0x16} /* Ctrl+V */, U'/', U':', U'é',
                           char32_t{0x4DFF}, char32_t{0x9FA6}, char32_t{0x3002} /* 。 */, char32_t{0xFF21} /* Ａ */,
                           char32_t{0x1F600}}) {
    EXPECT_FALSE(surveyCharacterAccepted(c)) << static_cast<unsigned>(c);
  }
  // Over every code point: exactly backspace, 10 digits, 52 letters, 3 signs and the ideographs.
  std::size_t accepted = 0;
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    accepted += surveyCharacterAccepted(c) ? 1 : 0;
  }
  EXPECT_EQ(accepted, 1u + 10u + 52u + 3u + (0x9FA5u - 0x4E00u + 1u));
}

}  // namespace
}  // namespace quillet::survey
