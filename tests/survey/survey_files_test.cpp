// The survey's files: the record of answers with its Login mark, and the country list.
#include <gtest/gtest.h>

#include <set>

#include "core/survey/country_list.h"
#include "core/survey/survey_record.h"
#include "support/temp_dir.h"

namespace quillet::survey {
namespace {

TEST(SurveyRecordFile, AnswersAreWrittenInTheirOrderAndReadBack) {
  test::TempDir dir;
  const auto file = dir / "config" / "ConfigFile.ini";
  test::writeBytes(file, "; the record\n[UserInfo]\nLogin=No\n[Other]\nkey=1\n");
  SurveyRecord r;
  r.isMale = 1;
  r.region = "Hong Kong";
  r.name = "陈大文";
  r.age = "19";
  r.facebook = "Facebook:";
  r.email = "dw@mail.hk";
  r.game = "What game to play:";
  ASSERT_TRUE(writeSurveyAnswers(file, r));
  EXPECT_EQ(test::readBytes(file),
            "; the record\n[UserInfo]\nLogin=No\nIsMale=1\nRegion=Hong Kong\nName=陈大文\nAge=19\n"
            "Facebook=Facebook:\nE-mail=dw@mail.hk\nGame=What game to play:\n[Other]\nkey=1\n");
  const SurveyRecord back = readSurveyRecord(file);
  EXPECT_EQ(back.isMale, 1);
  EXPECT_EQ(back.region, r.region);
  EXPECT_EQ(back.name, r.name);
  EXPECT_EQ(back.age, r.age);
  EXPECT_EQ(back.facebook, r.facebook);
  EXPECT_EQ(back.email, r.email);
  EXPECT_EQ(back.game, r.game);

  r.isMale = 0;
  r.name = "x";
  ASSERT_TRUE(writeSurveyAnswers(file, r));
  EXPECT_EQ(readSurveyRecord(file).isMale, 0);
  EXPECT_NE(test::readBytes(file).find("IsMale=0\nRegion=Hong Kong\nName=x\n"), std::string::npos) << "in place";
}

// What the form stored comes back as it was typed: a 33-character e-mail cut to 29 would fail the
// form's own e-mail check.
TEST(SurveyRecordFile, AnswersAreReadBackWhole) {
  test::TempDir dir;
  const auto file = dir / "ConfigFile.ini";
  SurveyRecord r;
  r.region = "United States Minor Outlying Islands";
  r.name = std::string(20, 'n');
  r.age = "30";
  r.facebook = std::string(50, 'f');
  r.email = "someone.with.a.long.name@mail.com";
  r.game = "中文游戏名字也可以有二十个字符吗是的可以";
  ASSERT_TRUE(writeSurveyAnswers(file, r));
  const SurveyRecord back = readSurveyRecord(file);
  EXPECT_EQ(back.region, r.region);
  EXPECT_EQ(back.name, r.name);
  EXPECT_EQ(back.facebook, r.facebook);
  EXPECT_EQ(back.email, r.email);
  EXPECT_EQ(back.game, r.game);
  const SurveyRecord none = readSurveyRecord(dir / "missing.ini");
  EXPECT_EQ(none.isMale, 0);
  EXPECT_TRUE(none.name.empty());
}

TEST(SurveyRecordFile, OnlyLoginYesSpelledSoCountsAsAnswered) {
  test::TempDir dir;
  const auto file = dir / "ConfigFile.ini";
  EXPECT_FALSE(surveyAnswered(file));
  for (const char* value : {"yes", "YES", "Yes please", "1", ""}) {
    test::writeBytes(file, std::string("[UserInfo]\nLogin=") + value + "\n");
    EXPECT_FALSE(surveyAnswered(file)) << value;
  }
  test::writeBytes(file, "[UserInfo]\r\nName=Jo\r\nLogin = \"Yes\"\r\n");
  EXPECT_TRUE(surveyAnswered(file));

  test::writeBytes(file, "; kept\r\n[UserInfo]\r\nName=Jo\r\n");
  ASSERT_TRUE(markSurveyAnswered(file));
  EXPECT_TRUE(surveyAnswered(file));
  EXPECT_EQ(test::readBytes(file), "; kept\r\n[UserInfo]\r\nName=Jo\r\nLogin=Yes\r\n");
  // A record that is not there yet is made; a folder that is not there is not.
  ASSERT_TRUE(markSurveyAnswered(dir / "fresh.ini"));
  EXPECT_TRUE(surveyAnswered(dir / "fresh.ini"));
  EXPECT_FALSE(markSurveyAnswered(dir / "no-folder" / "ConfigFile.ini"));
}

// Submitted=Yes is written with the answers, in the same replacement of the file, and only then.
TEST(SurveyRecordFile, SubmittedIsMarkedWithTheAnswersAndOnlyYesCounts) {
  test::TempDir dir;
  const auto file = dir / "ConfigFile.ini";
  SurveyRecord r;
  r.name = "Jo";
  ASSERT_TRUE(writeSurveyAnswers(file, r));
  EXPECT_FALSE(surveySubmitted(file)) << "answers alone are not a submission";
  ASSERT_TRUE(writeSurveyAnswers(file, r, true));
  EXPECT_TRUE(surveySubmitted(file));
  EXPECT_NE(test::readBytes(file).find("Game=\nSubmitted=Yes\n"), std::string::npos) << test::readBytes(file);
  EXPECT_FALSE(surveyAnswered(file)) << "submitted is not yet accepted";
  for (const char* value : {"yes", "1", ""}) {
    test::writeBytes(file, std::string("[UserInfo]\nSubmitted=") + value + "\n");
    EXPECT_FALSE(surveySubmitted(file)) << value;
  }
  EXPECT_FALSE(surveySubmitted(dir / "missing.ini"));
}

TEST(CountryList, OneItemPerLineInAnyEncodingTheUtilityReads) {
  using List = std::vector<std::string>;
  EXPECT_EQ(parseCountryList("Chile\nChina\r\nCôte d'Ivoire\rCuba"), (List{"Chile", "China", "Côte d'Ivoire", "Cuba"}));
  EXPECT_EQ(parseCountryList("\xEF\xBB\xBF" "Peru\n\n  Spain \t\n\r\n"), (List{"Peru", "Spain"}));
  EXPECT_EQ(parseCountryList(std::string("\xFF\xFE" "P\0e\0r\0u\0\n\0\x2D\x4E\xFD\x56", 16)), (List{"Peru", "中国"}));
  EXPECT_EQ(parseCountryList("\xD6\xD0\xB9\xFA\r\n\xC8\xD5\xB1\xBE"), (List{"中国", "日本"}));  // CP936
  EXPECT_EQ(parseCountryList(""), List{});
}

TEST(CountryList, TheShippedListHoldsEveryCountryOnce) {
  const auto list = readCountryList(std::filesystem::path(QUILLET_SOURCE_DIR) / "skins" / "config" / "country.ini");
  ASSERT_TRUE(list);
  EXPECT_GT(list->size(), 240u);
  std::set<std::string> seen;
  for (const std::string& c : *list) {
    EXPECT_TRUE(seen.insert(c).second) << c << " twice";
  }
  for (const char* c : {"China", "Germany", "Brazil", "United States", "Taiwan", "Hong Kong", "Côte d'Ivoire"}) {
    EXPECT_EQ(seen.count(c), 1u) << c;
  }
  EXPECT_FALSE(readCountryList(std::filesystem::path(QUILLET_SOURCE_DIR) / "no-such-list.ini"));
}

}  // namespace
}  // namespace quillet::survey
