#pragma once
// The survey form's rules that need no window: the fields' hints, the required fields, the age
// and e-mail formats, and the texts the form shows when an answer is refused.
#include <string>
#include <string_view>

#include "core/settings/app_state.h"
#include "core/survey/survey_record.h"

namespace quillet::survey {

// What a field shows while it holds no answer. The same in both languages.
inline constexpr std::string_view kCountryHint = "Country:";
inline constexpr std::string_view kNameHint = "Name:";
inline constexpr std::string_view kAgeHint = "Age:";
inline constexpr std::string_view kFacebookHint = "Facebook:";
inline constexpr std::string_view kEmailHint = "E-mail:";
inline constexpr std::string_view kGameHint = "What game to play:";

// The fields' limits, in characters (UTF-16 code units, as the edit boxes count them).
inline constexpr int kNameMaxChars = 20;
inline constexpr int kAgeMaxChars = 3;
inline constexpr int kFacebookMaxChars = 50;
inline constexpr int kEmailMaxChars = 50;
inline constexpr int kGameMaxChars = 20;

// "male" or "female": the request's sexuality value.
std::string_view sexualityWord(std::int32_t isMale);

// An answer is given when it is not empty and is not its field's hint (exact, case-sensitive).
bool answered(std::string_view text, std::string_view hint);

// Country, name, age and e-mail are required.
bool requiredAnswered(const SurveyRecord& record);

// Digits only, at least one of them not zero: "007" is an age, "0", "00" and "1a" are not.
bool validAge(std::string_view age);

// Holds a well-formed address somewhere in it (a search, not a whole-text match):
// ([0-9A-Za-z\-_\.]+)@([0-9a-z]+\.[a-z]{2,3}(\.[a-z]{2})?)
bool validEmail(std::string_view email);

// The first rule the answers break, in the order the form checks them.
enum class AnswerProblem { None, RequiredMissing, AgeFormat, EmailFormat };
AnswerProblem checkAnswers(const SurveyRecord& record);

// The message the form shows for a problem ("The required items can not be empty" in English,
// "必填项目不能为空" in Chinese; the two format messages are the same in both languages).
std::string answerProblemText(AnswerProblem problem, Language language);

}  // namespace quillet::survey
