#include "core/survey/survey_record.h"

#include "core/io/ini.h"

namespace quillet::survey {
namespace {

std::string read(const std::filesystem::path& file, std::string_view key) {
  return ini::readString(file, kRecordSection, key, "", kRecordBufferChars);
}

}  // namespace

SurveyRecord readSurveyRecord(const std::filesystem::path& file) {
  SurveyRecord r;
  r.isMale = ini::toInt(read(file, "IsMale"));
  r.region = read(file, "Region");
  r.name = read(file, "Name");
  r.age = read(file, "Age");
  r.facebook = read(file, "Facebook");
  r.email = read(file, "E-mail");
  r.game = read(file, "Game");
  return r;
}

bool writeSurveyAnswers(const std::filesystem::path& file, const SurveyRecord& r) {
  return ini::WriteBatch(file)
      .set(kRecordSection, "IsMale", r.isMale != 0 ? "1" : "0")
      .set(kRecordSection, "Region", r.region)
      .set(kRecordSection, "Name", r.name)
      .set(kRecordSection, "Age", r.age)
      .set(kRecordSection, "Facebook", r.facebook)
      .set(kRecordSection, "E-mail", r.email)
      .set(kRecordSection, "Game", r.game)
      .commit();
}

bool surveyAnswered(const std::filesystem::path& file) { return read(file, kLoginKey) == kAnsweredValue; }

bool markSurveyAnswered(const std::filesystem::path& file) {
  return ini::writeString(file, kRecordSection, kLoginKey, kAnsweredValue);
}

}  // namespace quillet::survey
