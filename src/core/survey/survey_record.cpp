#include "core/survey/survey_record.h"

#include <limits>

#include "core/io/ini.h"

namespace quillet::survey {
namespace {

std::string read(const std::filesystem::path& file, std::string_view key) {
  return ini::readString(file, kRecordSection, key, "", kRecordBufferChars);
}

// An answer, whole: the INI module cuts nothing from a buffer this large.
std::string readAnswer(const std::filesystem::path& file, std::string_view key) {
  return ini::readString(file, kRecordSection, key, "", std::numeric_limits<std::size_t>::max());
}

}  // namespace

SurveyRecord readSurveyRecord(const std::filesystem::path& file) {
  SurveyRecord r;
  r.isMale = ini::toInt(read(file, "IsMale"));
  r.region = readAnswer(file, "Region");
  r.name = readAnswer(file, "Name");
  r.age = readAnswer(file, "Age");
  r.facebook = readAnswer(file, "Facebook");
  r.email = readAnswer(file, "E-mail");
  r.game = readAnswer(file, "Game");
  return r;
}

bool writeSurveyAnswers(const std::filesystem::path& file, const SurveyRecord& r, bool submitted) {
  ini::WriteBatch batch(file);
  batch.set(kRecordSection, "IsMale", r.isMale != 0 ? "1" : "0")
      .set(kRecordSection, "Region", r.region)
      .set(kRecordSection, "Name", r.name)
      .set(kRecordSection, "Age", r.age)
      .set(kRecordSection, "Facebook", r.facebook)
      .set(kRecordSection, "E-mail", r.email)
      .set(kRecordSection, "Game", r.game);
  if (submitted) {
    batch.set(kRecordSection, kSubmittedKey, kAnsweredValue);
  }
  return batch.commit();
}

bool surveySubmitted(const std::filesystem::path& file) { return read(file, kSubmittedKey) == kAnsweredValue; }

bool surveyAnswered(const std::filesystem::path& file) { return read(file, kLoginKey) == kAnsweredValue; }

bool markSurveyAnswered(const std::filesystem::path& file) {
  return ini::writeString(file, kRecordSection, kLoginKey, kAnsweredValue);
}

}  // namespace quillet::survey
