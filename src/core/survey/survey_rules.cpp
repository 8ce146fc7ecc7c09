#include "core/survey/survey_rules.h"

#include <regex>

namespace quillet::survey {

std::string_view sexualityWord(std::int32_t isMale) { return isMale != 0 ? "male" : "female"; }

bool answered(std::string_view text, std::string_view hint) { return !text.empty() && text != hint; }

bool requiredAnswered(const SurveyRecord& r) {
  return answered(r.region, kCountryHint) && answered(r.name, kNameHint) && answered(r.age, kAgeHint) &&
         answered(r.email, kEmailHint);
}

bool validAge(std::string_view age) {
  static const std::regex pattern("^[0-9]*[1-9][0-9]*$", std::regex::ECMAScript);
  return std::regex_match(age.begin(), age.end(), pattern);
}

bool validEmail(std::string_view email) {
  static const std::regex pattern(R"(([0-9A-Za-z\-_\.]+)@([0-9a-z]+\.[a-z]{2,3}(\.[a-z]{2})?))", std::regex::ECMAScript);
  return std::regex_search(email.begin(), email.end(), pattern);
}

AnswerProblem checkAnswers(const SurveyRecord& r) {
  if (!requiredAnswered(r)) {
    return AnswerProblem::RequiredMissing;
  }
  if (!validAge(r.age)) {
    return AnswerProblem::AgeFormat;
  }
  if (!validEmail(r.email)) {
    return AnswerProblem::EmailFormat;
  }
  return AnswerProblem::None;
}

std::string answerProblemText(AnswerProblem problem, Language language) {
  switch (problem) {
    case AnswerProblem::RequiredMissing:
      return language != kChinese ? "The required items can not be empty" : "必填项目不能为空";
    case AnswerProblem::AgeFormat:
      return "年龄格式有误";
    case AnswerProblem::EmailFormat:
      return "邮箱格式有误";
    case AnswerProblem::None:
      break;
  }
  return {};
}

}  // namespace quillet::survey
