// Cutting skin values into fields, and reading them from layout files with the reactions to
// missing files and malformed values.
#include "core/skin/skin_value.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "core/io/messages.h"
#include "core/skin/skin_layout.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

using test::TempDir;
using test::writeBytes;

struct Row {
  const char* value;
  const char* field0;
  int x, y, width, height;
  const char* label;
};

// Every value of the table a skin author relies on, with the region it yields.
TEST(SkinValue, TheAuthorsTable) {
  const Row rows[] = {
      {"Save", "Save", 0, 0, 0, 0, ""},
      {"Save,x", "Save", 0, 0, 0, 0, ""},
      {"b1,10,20,60,24,", "b1", 10, 20, 60, 24, ""},
      {"b1,10,20,60,24,OK,", "b1", 10, 20, 60, 24, "OK"},
      {"b1,10,20,60,24,OK", "b1", 10, 20, 60, 24, ""},
      {"b1,10,20,60,24", "b1", 10, 20, 60, 0, "b1"},
      {"b1,10,20,60", "b1", 10, 20, 0, 0, "10"},
      {"b1,-5,20,60,24,", "b1", -5, 20, 60, 24, ""},
  };
  for (const Row& row : rows) {
    const SkinValue v = splitSkinValue(row.value);
    const SkinButton b = skinButtonFrom(v);
    EXPECT_EQ(v.fields[0], row.field0) << row.value;
    EXPECT_EQ(b.x, row.x) << row.value;
    EXPECT_EQ(b.y, row.y) << row.value;
    EXPECT_EQ(b.width, row.width) << row.value;
    EXPECT_EQ(b.height, row.height) << row.value;
    EXPECT_EQ(b.label, row.label) << row.value;
  }
}

// The seven fields of a value: each field ends at the next comma; a field that finds none is
// empty and the next one starts over from the beginning of the value; field 6 is the rest; a
// value without any comma is field 0 alone.
TEST(SkinValue, FieldsOfAValue) {
  struct Fields {
    const char* value;
    std::array<const char*, 7> fields;
    int commas;
  };
  const Fields table[] = {
      {"Save,x", {"Save", "", "Save", "", "Save", "", "Save,x"}, 1},
      {"  Left click ", {"  Left click ", "", "", "", "", "", ""}, 0},
      {"", {"", "", "", "", "", "", ""}, 0},
      {"a,1,2,3,4,lbl,tail,more", {"a", "1", "2", "3", "4", "lbl", "tail,more"}, 7},
  };
  for (const Fields& row : table) {
    const SkinValue v = splitSkinValue(row.value);
    for (std::size_t f = 0; f < 7; ++f) {
      EXPECT_EQ(v.fields[f], row.fields[f]) << '"' << row.value << "\" field " << f;
    }
    EXPECT_EQ(v.commas, row.commas) << row.value;
  }
}

TEST(SkinValue, NothingIsTrimmedAndNumbersFollowTheIntegerRule) {
  const SkinButton b = skinButtonFrom(splitSkinValue("n,  +7,-0012,3px,,  OK ,"));
  EXPECT_EQ(b.x, 7);
  EXPECT_EQ(b.y, -12);
  EXPECT_EQ(b.width, 3);
  EXPECT_EQ(b.height, 0);
  EXPECT_EQ(b.label, "  OK ");
  EXPECT_EQ(skinNumber("x12"), 0);
  EXPECT_EQ(skinNumber("99999999999"), 2147483647);
}

class SkinRead : public ::testing::Test {
 protected:
  SkinValue read(int index) { return readSkinValue(file_, "BUTTONPOS", index, report_); }

  TempDir dir_;
  std::filesystem::path file_ = dir_ / "skin.ini";
  RecordedMessages messages_;
  int closeRequests_ = 0;
  SkinReadReport report_{messages_, [this] { ++closeRequests_; }};
};

TEST_F(SkinRead, ReadsTheKeyByItsDecimalNumber) {
  writeBytes(file_, "[BUTTONPOS]\n0=zero,1,2,3,4,A,\n17=seventeen,5,6,7,8,B,\n017=wrong,9,9,9,9,C,\n");
  EXPECT_EQ(skinButtonFrom(read(0)).label, "A");
  EXPECT_EQ(read(17).fields[0], "seventeen");
  EXPECT_TRUE(messages_.texts.empty());
}

TEST_F(SkinRead, AbsentOrEmptyKeysAreEmptyRegionsWithoutMessage) {
  writeBytes(file_, "[BUTTONPOS]\n1=\n");
  const SkinButton absent = skinButtonFrom(read(0));
  EXPECT_EQ(absent.width, 0);
  EXPECT_EQ(absent.label, "");
  EXPECT_EQ(read(1).fields[0], "");
  EXPECT_TRUE(messages_.texts.empty());
  EXPECT_EQ(closeRequests_, 0);
}

TEST_F(SkinRead, SevenCommasAreReportedOncePerValueAndStillCut) {
  writeBytes(file_, "[BUTTONPOS]\n0=b1,10,20,60,24,OK,x,y\n1=b2,1,2,3,4,ok,\n");
  const SkinButton b = skinButtonFrom(read(0));
  EXPECT_EQ(b.x, 10);
  EXPECT_EQ(b.height, 24);
  EXPECT_EQ(b.label, "OK");
  read(1);
  read(0);
  EXPECT_EQ(messages_.texts, (std::vector<std::string>{"加载ini错误！", "加载ini错误！"}));
  EXPECT_EQ(report_.malformedValues, 2);
  EXPECT_EQ(closeRequests_, 0);
}

TEST_F(SkinRead, ALongValueIsCutTo259CharactersBeforeItIsSplit) {
  // The label's closing comma falls beyond the buffer, so the label reads as empty.
  const std::string label(260, 'L');
  writeBytes(file_, "[BUTTONPOS]\n0=b,1,2,3,4," + label + ",\n1=b,1,2,3,4," + label.substr(0, 240) + ",\n");
  EXPECT_EQ(skinButtonFrom(read(0)).label, "");
  EXPECT_EQ(skinButtonFrom(read(0)).height, 4);
  EXPECT_EQ(skinButtonFrom(read(1)).label, label.substr(0, 240));
}

TEST_F(SkinRead, AMissingFileIsReportedOnceAndAsksTheWindowToClose) {
  for (int i = 0; i < 30; ++i) {
    const SkinValue v = read(i);
    EXPECT_EQ(v.fields[0], "");
  }
  EXPECT_EQ(messages_.texts, std::vector<std::string>{"找不到配置文件"});
  EXPECT_EQ(closeRequests_, 1);
  EXPECT_TRUE(report_.missingFile);

  // A folder of that name is no layout file either.
  std::filesystem::create_directories(file_);
  RecordedMessages other;
  SkinReadReport fresh(other);
  readSkinValue(file_, "BUTTONPOS", 0, fresh);
  EXPECT_TRUE(fresh.missingFile);
  EXPECT_EQ(other.texts, std::vector<std::string>{"找不到配置文件"});
}

}  // namespace
}  // namespace quillet
