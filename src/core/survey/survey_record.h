#pragma once
// The survey record: the answers of the start-up survey and whether the survey service has
// accepted them, in section [UserInfo] of the survey record file (config/ConfigFile.ini under the
// skin folder). Keys: IsMale ("1" or "0"), Region, Name, Age, Facebook, E-mail, Game; Submitted,
// which is "Yes" once the form has been validly submitted (from then on the form is not shown
// again, and each start sends the stored answers in the background until the service takes
// them); and Login, which is "Yes" once the service has accepted them. Neither is ever cleared.
#include <cstdint>
#include <filesystem>
#include <string>

namespace quillet::survey {

inline constexpr std::string_view kRecordSection = "UserInfo";
inline constexpr std::string_view kLoginKey = "Login";
inline constexpr std::string_view kSubmittedKey = "Submitted";
inline constexpr std::string_view kAnsweredValue = "Yes";
// Login and Submitted are read as into a buffer of this many characters; the answers are read
// whole, so that what the form stored comes back as it was typed.
inline constexpr std::size_t kRecordBufferChars = 30;

struct SurveyRecord {
  std::int32_t isMale = 0;  // 1 male, 0 female
  std::string region;
  std::string name;
  std::string age;
  std::string facebook;
  std::string email;
  std::string game;
  std::string macText;  // the adapter address the request carries; not stored
};

// The stored answers, each whole; a missing file or key reads as empty (IsMale as 0).
SurveyRecord readSurveyRecord(const std::filesystem::path& file);

// Writes IsMale, Region, Name, Age, Facebook, E-mail and Game, in this order, as one replacement
// of the file; with `submitted`, Submitted = "Yes" in the same replacement, so that the answers
// and the mark that they were given never part. False when the file cannot be written or a
// value holds a line break.
[[nodiscard]] bool writeSurveyAnswers(const std::filesystem::path& file, const SurveyRecord& record, bool submitted = false);

// True when Submitted is exactly "Yes": the form was validly submitted once.
bool surveySubmitted(const std::filesystem::path& file);

// True when Login is exactly "Yes" (case-sensitive: "yes" is not an answer).
bool surveyAnswered(const std::filesystem::path& file);

// Login = "Yes".
[[nodiscard]] bool markSurveyAnswered(const std::filesystem::path& file);

}  // namespace quillet::survey
