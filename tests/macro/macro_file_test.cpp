// The macro record, the key-code translation and the group-file format.
#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include <string>
#include <utility>

#include "core/io/ini.h"
#include "core/io/messages.h"
#include "core/io/text_codec.h"
#include "core/macro/key_translation.h"
#include "core/macro/macro_file.h"
#include "macro/macro_test_support.h"

namespace quillet {
namespace {

using test::TempFolder;

// A macro that holds every step kind, both LED rows in use, flags in the play mode and the
// largest field values.
Macro everyStepKind() {
  Macro m = test::makeMacro("宏九个字符ABCD", {
                                            test::press(53, 5),                      // grave / tilde
                                            test::release(53, 20),
                                            test::press(step_code::kMouseLeft, 0),
                                            test::release(step_code::kMouseLeft, 65535),
                                            test::press(step_code::kMouseRight, 7),
                                            test::release(step_code::kMouseMiddle, 7),
                                            test::move(step_type::kMoveLeftUp, 5, 10, 30),
                                            test::move(step_type::kMoveRightDown, 100, 0, 30),
                                            {step_type::kCpiSet, step_code::kCpi, 13, 0, 40},
                                            {step_type::kCpiReset, step_code::kCpi, 4, 0, 40},
                                            test::led(step_type::kLed0, 0, 50),
                                            test::led(step_type::kLed2, 1, 50),
                                            {step_type::kNone, step_code::kPause, 0, 0, 1000},
                                            test::press(231, 1),                     // right GUI
                                        },
                                        play_mode::kToggle | play_mode::kContinuousFlag, 65535);
  m.ledRows[0] = LedRow::fresh();
  m.ledRows[0].bytes[4] = 9;   // comet tail
  m.ledRows[0].bytes[5] = 3;   // colour 3
  m.ledRows[0].bytes[6] = 25;  // 2.5 s
  m.ledRows[1].bytes[0] = 16;
  for (int i = 4; i < kLedRowBytes; ++i) {
    m.ledRows[1].bytes[i] = static_cast<std::uint8_t>(i);
  }
  return m;
}

TEST(KeyTranslation, RunsBothWaysOverOneTable) {
  int listed = 0;
  for (int code = 0; code < 256; ++code) {
    const auto c = static_cast<std::uint8_t>(code);
    if (vkIsListed(c)) {
      ++listed;
      EXPECT_EQ(UsageToVk(VkToUsage(c)), c) << "vk " << code;
      EXPECT_TRUE(usageIsListed(VkToUsage(c)));
    } else {
      EXPECT_EQ(VkToUsage(c), c) << "an unlisted vk is kept: " << code;
    }
    if (usageIsListed(c)) {
      EXPECT_EQ(VkToUsage(UsageToVk(c)), c) << "usage " << code;
    } else {
      EXPECT_EQ(UsageToVk(c), c) << "an unlisted usage is kept: " << code;
    }
  }
  EXPECT_EQ(listed, 26 + 9 + 12 + 12 + 9 + 55);
  EXPECT_EQ(VkToUsage(0xE2), 0x64) << "the ISO key beside the left Shift";

  EXPECT_EQ(VkToUsage('A'), 4);
  EXPECT_EQ(VkToUsage('Z'), 29);
  EXPECT_EQ(VkToUsage('1'), 30);
  EXPECT_EQ(VkToUsage('0'), 39);
  EXPECT_EQ(VkToUsage(112), 58);   // F1
  EXPECT_EQ(VkToUsage(135), 115);  // F24
  EXPECT_EQ(VkToUsage(105), 97);   // numeric pad 9
  EXPECT_EQ(VkToUsage(192), 53);   // grave / tilde
  EXPECT_EQ(UsageToVk(53), 192);
  // Mouse buttons: files hold 240 left, 241 right, 242 middle.
  EXPECT_EQ(VkToUsage(240), step_code::kMouseLeft);
  EXPECT_EQ(VkToUsage(241), step_code::kMouseRight);
  EXPECT_EQ(VkToUsage(242), step_code::kMouseMiddle);
  EXPECT_EQ(UsageToVk(step_code::kMouseMiddle), 242);
  // The step codes that are no key pass unchanged.
  for (std::uint8_t code : {step_code::kPause, step_code::kMove, step_code::kCpi, step_code::kLed}) {
    EXPECT_EQ(UsageToVk(code), code);
    EXPECT_EQ(VkToUsage(code), code);
  }
}

TEST(KeyTranslation, KeyPickerItems) {
  EXPECT_EQ(KeyPickerUsage(0), 41);   // Escape
  EXPECT_EQ(KeyPickerUsage(12), 69);  // F12
  EXPECT_EQ(KeyPickerUsage(14), 53);  // grave / tilde
  EXPECT_EQ(KeyPickerUsage(24), 39);  // 0
  EXPECT_EQ(KeyPickerUsage(30), 20);  // Q
  EXPECT_EQ(KeyPickerUsage(63), 16);  // M
  EXPECT_EQ(KeyPickerUsage(70), 227); // left Windows
  EXPECT_EQ(KeyPickerUsage(78), 81);  // Down
  EXPECT_EQ(KeyPickerUsage(79), kNoPickerKey);
  EXPECT_EQ(KeyPickerUsage(255), kNoPickerKey);
}

TEST(MacroRecord, NameHoldsNineCodeUnits) {
  Macro m;
  EXPECT_TRUE(setMacroName(m, "123456789"));
  EXPECT_EQ(macroName(m), "123456789");
  EXPECT_EQ(m.name[9], 0);
  EXPECT_FALSE(setMacroName(m, "1234567890"));
  EXPECT_EQ(macroName(m), "123456789") << "a refused name leaves the old one";
  // Characters beyond the BMP take two units each.
  EXPECT_TRUE(setMacroName(m, "😀😀😀😀x"));
  EXPECT_EQ(macroName(m), "😀😀😀😀x");
  EXPECT_FALSE(setMacroName(m, "😀😀😀😀😀"));
}

TEST(MacroRecord, NormaliseRestoresTheInvariants) {
  Macro m = test::makeMacro("x", {test::move(step_type::kMoveLeftUp, 1, 1, 0), test::led(step_type::kLed0, 0, 0)});
  m.moveCount = 0;
  m.ledCount = 4;
  m.events[5] = test::press(4, 10);  // past eventCount
  m.name = {u'a', u'b', u'c', u'd', u'e', u'f', u'g', u'h', u'i', u'j'};
  m.ledRows[2].bytes[0] = 200;
  m.ledRowsB[0] = LedRow::fresh();
  EXPECT_FALSE(countersAgree(m));
  normaliseMacro(m);
  EXPECT_TRUE(countersAgree(m));
  EXPECT_EQ(m.moveCount, 1);
  EXPECT_EQ(m.ledCount, 1);
  EXPECT_EQ(m.events[5], MacroEvent{});
  EXPECT_EQ(macroName(m), "abcdefghi");
  EXPECT_EQ(m.ledRows[2].bytes[0], kLedRowMaxEntries);
  EXPECT_EQ(m.ledRowsB[0], LedRow{});

  m.eventCount = 500;
  normaliseMacro(m);
  EXPECT_EQ(m.eventCount, kMacroMaxSteps);
}

// Character positions in a record's text: value n is the three digits at 3 × n. The record:
// name 0-19 (UTF-16LE), play mode 20, loop count 21-22 (low byte first), then the counters
// (events 23-24, moves 25-26, reserved F7 27-28, CPI 29-30, reserved FA 31-32, LED 33,
// reserved FB 34), step t at 35 + 8t (type, code, x low, x high, y low, y high, delay low, delay
// high), LED rows from 1475, 68 bytes each.
std::string piecesAt(const std::string& text, std::size_t value, std::size_t count) {
  return text.substr(3 * value, 3 * count);
}

// A text of 1,815 zero values with `values` placed at their positions.
std::string textWith(std::initializer_list<std::pair<std::size_t, int>> values) {
  std::string text(5445, '0');
  for (const auto& [at, v] : values) {
    char piece[4];
    std::snprintf(piece, sizeof piece, "%03d", v);
    text.replace(3 * at, 3, piece);
  }
  return text;
}

TEST(MacroValue, EveryFieldHasItsOwnPlaceInTheText) {
  Macro m;
  ASSERT_TRUE(setMacroName(m, "Ab"));
  m.playMode = 13;
  m.loopCount = 0x0102;
  m.eventCount = 0x0304;  // the counters as they stand, each one its own value
  m.moveCount = 0x0506;
  m.reservedF7Count = 0x0708;
  m.cpiCount = 0x090A;
  m.reservedFACount = 0x0B0C;
  m.ledCount = 14;
  m.reservedFBCount = 15;
  m.events[0] = {step_type::kPress, 4, 0x1112, 0x1314, 0x1516};                      // A: virtual key 65
  m.events[179] = {step_type::kRelease, step_code::kMouseLeft, -2, 0x2122, 0x2324};  // written as 240
  m.ledRows[0].bytes[0] = 16;
  m.ledRows[0].bytes[67] = 200;
  m.ledRows[4].bytes[67] = 99;
  m.ledRowsB[0].bytes[0] = 7;  // memory only
  const std::string text = serialiseMacro(m);
  ASSERT_EQ(text.size(), 5445u);
  EXPECT_EQ(text.find_first_not_of("0123456789"), std::string::npos);
  EXPECT_EQ(piecesAt(text, 0, 6), "065000098000000000");
  EXPECT_EQ(piecesAt(text, 18, 2), "000000");
  EXPECT_EQ(piecesAt(text, 20, 15), "013002001004003006005008007010009012011014015");
  EXPECT_EQ(piecesAt(text, 35, 8), "001065018017020019022021");
  EXPECT_EQ(piecesAt(text, 43, 8), "000000000000000000000000");
  EXPECT_EQ(piecesAt(text, 1467, 8), "002240254255034033036035");
  EXPECT_EQ(piecesAt(text, 1475, 1), "016");
  EXPECT_EQ(piecesAt(text, 1542, 2), "200000");
  EXPECT_EQ(piecesAt(text, 1814, 1), "099") << "the last value: byte 67 of row 4; ledRowsB is not written";
}

TEST(MacroValue, ReadsEveryFieldFromItsPlace) {
  const Macro m = parseMacroValue(textWith({
      {0, 'Q'}, {1, 0}, {2, 0x34}, {3, 0x6C},                                   // name units 'Q', U+6C34
      {20, 2}, {21, 7}, {22, 1}, {23, 2},                                       // mode, loops, steps
      {35, 1}, {36, 65}, {37, 5}, {38, 1}, {39, 9}, {40, 0}, {41, 44}, {42, 1},  // step 0: A down
      {43, 6}, {44, 246}, {45, 3}, {47, 4}, {49, 10},                           // step 1: a move
      {1475, 2}, {1479, 9}}));                                                  // LED row 0
  EXPECT_EQ(m.name[0], u'Q');
  EXPECT_EQ(m.name[1], 0x6C34);
  EXPECT_EQ(m.playMode, 2);
  EXPECT_EQ(m.loopCount, 7 + 256);
  EXPECT_EQ(m.eventCount, 2);
  EXPECT_EQ(m.events[0], (MacroEvent{step_type::kPress, 4, 0x0105, 9, 0x012C}));
  EXPECT_EQ(m.events[1], (MacroEvent{step_type::kMoveRightDown, step_code::kMove, 3, 4, 10}));
  EXPECT_EQ(m.moveCount, 1) << "counters follow the steps";
  EXPECT_EQ(m.ledRows[0].bytes[0], 2);
  EXPECT_EQ(m.ledRows[0].bytes[4], 9);
}

TEST(MacroValue, ParsesPiecesAsTheProfileReadDoes) {
  std::string text = textWith({{0, 'Q'}, {23, 2}});
  // Non-digits end a piece's number, a piece without leading digits is 0, above 255 keeps the
  // low byte, and a short last piece counts what it has.
  text.replace(60, 3, "1a2");  // play mode
  text.replace(63, 3, "999");  // loop count, low byte
  text.replace(66, 3, " 12");  // loop count, high byte
  const Macro m = parseMacroValue(text.substr(0, 105) + "3");
  EXPECT_EQ(macroName(m), "Q");
  EXPECT_EQ(m.playMode, 1);
  EXPECT_EQ(m.loopCount, 999 & 0xFF);
  EXPECT_EQ(m.eventCount, 2);
  EXPECT_EQ(m.events[0].type, 3) << "the single digit of a short last piece";

  EXPECT_EQ(parseMacroValue(""), Macro{});
  EXPECT_EQ(parseMacroValue("garbage that is no macro at all"), Macro{});
}

TEST(MacroValue, CountsPiecesInUtf16CodeUnits) {
  // "中" is three bytes but one code unit, an emoji two units: the pieces after them start
  // where a Windows read would cut them.
  MacroValues v = parseMacroValues("中01002");
  EXPECT_EQ(v[0], 0);
  EXPECT_EQ(v[1], 2);
  v = parseMacroValues("😀1002");
  EXPECT_EQ(v[0], 0);
  EXPECT_EQ(v[1], 2);
  // A broken byte is one replacement unit, and a non-digit ends a piece's leading digits.
  v = parseMacroValues("1\xFF" "2003" "7中9");
  EXPECT_EQ(v[0], 1);
  EXPECT_EQ(v[1], 3);
  EXPECT_EQ(v[2], 7);
}

TEST(MacroValue, TheCutAgreesWithACutOfTheValueConvertedToUtf16) {
  // The reference: the whole value as UTF-16 code units, cut into pieces of three whose leading
  // ASCII digits count. Random values of digits, letters, characters of one and two units and
  // broken bytes, of every length around the full 5,445 units.
  const auto reference = [](std::string_view value) {
    const std::string units = text::utf8ToUtf16le(value);
    MacroValues v{};
    for (std::size_t p = 0; p < v.size() && 3 * p * 2 < units.size(); ++p) {
      int n = 0;
      for (std::size_t i = 3 * p; i < 3 * p + 3 && 2 * i + 1 < units.size(); ++i) {
        const unsigned u = static_cast<unsigned char>(units[2 * i]) | static_cast<unsigned char>(units[2 * i + 1]) << 8;
        if (u < '0' || u > '9') {
          break;
        }
        n = n * 10 + static_cast<int>(u - '0');
      }
      v[p] = static_cast<std::uint8_t>(n & 0xFF);
    }
    return v;
  };
  const std::vector<std::string> pieces = {"0", "1", "7", "9", "a", " ", "中", "😀", "\xFF", "\xE4\xB8", "é", "255", "999"};
  std::mt19937 random(736);
  for (int round = 0; round < 300; ++round) {
    std::string value;
    const std::size_t length = round < 100 ? random() % 40 : 5400 + random() % 200;
    while (value.size() < length) {
      // Mostly digits, as real values are.
      value += random() % 4 != 0 ? std::string(1, static_cast<char>('0' + random() % 10)) : pieces[random() % pieces.size()];
    }
    ASSERT_EQ(parseMacroValues(value), reference(value)) << "round " << round;
  }
}

TEST(MacroValue, HeaderOnlyValueKeepsStepsZeroAndRecountsCounters) {
  // Name "H", play mode 2, loop count 7, three steps, and counters claiming three moves and an
  // LED step that the value does not hold.
  const Macro m = parseMacroValue(textWith({{0, 'H'}, {20, 2}, {21, 7}, {23, 3}, {25, 3}, {33, 1}}).substr(0, 105));
  EXPECT_EQ(macroName(m), "H");
  EXPECT_EQ(m.playMode, 2);
  EXPECT_EQ(m.loopCount, 7);
  EXPECT_EQ(m.eventCount, 3);
  EXPECT_EQ(m.moveCount, 0) << "counters follow the steps, which read as pauses";
  EXPECT_EQ(m.ledCount, 0);
  for (const MacroEvent& e : m.events) {
    EXPECT_EQ(e, MacroEvent{});
  }
}

class GroupFileTest : public ::testing::Test {
 protected:
  TempFolder temp;
  RecordedMessages messages;
  std::filesystem::path file = temp / "group.dat";
};

TEST_F(GroupFileTest, WriteThenReadIsEqualFieldForField) {
  OpenGroup group;
  group.slots[0] = everyStepKind();
  group.slots[0].ledRowsB[0] = LedRow::fresh();  // memory only
  group.slots[1] = test::makeMacro("", {});
  group.count = 2;
  ASSERT_TRUE(writeMacro(file, group, 0));
  ASSERT_TRUE(writeMacro(file, group, 1));

  OpenGroup back;
  ASSERT_TRUE(readGroupFile(file, back, messages));
  EXPECT_TRUE(messages.texts.empty());
  ASSERT_EQ(back.count, 2);
  Macro expected = everyStepKind();
  EXPECT_EQ(back.slots[0], expected);
  EXPECT_EQ(back.slots[0].ledRowsB[0], LedRow{});
  EXPECT_EQ(macroName(back.slots[0]), "宏九个字符ABCD");
  EXPECT_EQ(back.slots[0].events[0].code, 53);
  EXPECT_EQ(back.slots[0].events[2].code, step_code::kMouseLeft);
  EXPECT_EQ(back.slots[0].events[4].code, step_code::kMouseRight);
  EXPECT_EQ(back.slots[0].events[5].code, step_code::kMouseMiddle);
  EXPECT_EQ(back.slots[1], group.slots[1]);
}

TEST_F(GroupFileTest, WriteMacroKeepsTheFileOtherKeys) {
  test::writeText(file, "[Other]\nkeep=1\n[Macros]\nmacroNum=5\n0=001\n4=002\n");
  OpenGroup group;
  group.slots[2] = test::makeMacro("two", {test::press(4, 10)});
  group.count = 3;
  ASSERT_TRUE(writeMacro(file, group, 2));
  EXPECT_EQ(ini::readString(file, "Other", "keep", "", 10), "1");
  EXPECT_EQ(ini::readString(file, "Macros", "macroNum", "", 10), "3");
  EXPECT_EQ(ini::readString(file, "Macros", "4", "", 10), "002");
  EXPECT_EQ(ini::readString(file, "Macros", "2", "", kGroupValueBuffer), serialiseMacro(group.slots[2]));
  EXPECT_FALSE(writeMacro(file, group, kOpenGroupSlots));

  // The export writes the group as it is and drops keys left from earlier saves.
  ASSERT_TRUE(writeAllMacros(file, group));
  EXPECT_EQ(ini::readString(file, "Macros", "4", "", 10), "");
  EXPECT_EQ(ini::readString(file, "Macros", "macroNum", "", 10), "3");
}

TEST_F(GroupFileTest, MacroNumDecidesWhatLoads) {
  const std::string one = serialiseMacro(test::makeMacro("one", {test::press(4, 1)}));
  std::string text = "[Macros]\nmacroNum=%\n";
  for (int k = 0; k < 14; ++k) {
    text += std::to_string(k) + "=" + one + "\n";
  }
  auto countFor = [&](const std::string& macroNum) {
    std::string t = text;
    t.replace(t.find('%'), 1, macroNum);
    test::writeText(file, t);
    OpenGroup group;
    group.slots[kGroupMaxMacros].loopCount = 77;  // the blank slot
    readGroupFile(file, group, messages);
    EXPECT_EQ(group.slots[kGroupMaxMacros].loopCount, 77) << "nothing loads past the table";
    return group.count;
  };
  EXPECT_EQ(countFor("0"), 0);
  EXPECT_EQ(countFor("3"), 3);
  EXPECT_EQ(countFor("12"), 12);
  EXPECT_EQ(countFor("13"), 12) << "a count above the table loads what fits";
  EXPECT_EQ(countFor("99"), 12);
  EXPECT_EQ(countFor("123"), 12) << "two digits count: 12";
  EXPECT_EQ(countFor("103"), 10);
  EXPECT_EQ(countFor("-1"), 0);
  EXPECT_EQ(countFor("abc"), 0);
  EXPECT_TRUE(messages.texts.empty());

  // Slots past macroNum keep what they held.
  test::writeText(file, "[Macros]\nmacroNum=1\n0=" + one + "\n1=" + one + "\n");
  OpenGroup group;
  group.slots[1].loopCount = 9;
  readGroupFile(file, group, messages);
  EXPECT_EQ(group.slots[1].loopCount, 9);
}

TEST_F(GroupFileTest, MissingFileReadsEmptyWithTheMessage) {
  OpenGroup group;
  group.count = 4;
  EXPECT_FALSE(readGroupFile(temp / "absent.dat", group, messages));
  EXPECT_EQ(group.count, 0);
  EXPECT_EQ(messages.texts, std::vector<std::string>{kMsgMacroFileMissing});

  BuiltinMacros builtins;
  EXPECT_FALSE(readBuiltinMacros(temp / "constMacro.dat", builtins, messages));
  EXPECT_EQ(builtins.count, 0);
  EXPECT_EQ(messages.texts.size(), 2u);
}

TEST_F(GroupFileTest, CountersThatDisagreeAreRecomputed) {
  Macro m = test::makeMacro("bad", {test::move(step_type::kMoveRightDown, 3, 4, 10),
                                    {step_type::kCpiSet, step_code::kCpi, 2, 0, 10},
                                    test::led(step_type::kLed0, 0, 10)});
  std::string text = serialiseMacro(m);
  text.replace(3 * 25, 3, "000");           // no moves
  text.replace(3 * 29, 3, "000");           // no CPI steps
  text.replace(3 * 33, 3, "000");           // no LED steps
  text.replace(3 * 23, 3, "200");           // 200 steps: beyond the table, cut to 180
  text.replace(3 * (35 + 8 * 100 + 1), 3, "246");  // a move at step 100
  text.replace(3 * 1475, 3, "099");         // a row claiming 99 entries
  test::writeText(file, "[Macros]\nmacroNum=1\n0=" + text + "\n");
  OpenGroup group;
  readGroupFile(file, group, messages);
  const Macro& back = group.slots[0];
  EXPECT_EQ(back.eventCount, kMacroMaxSteps);
  EXPECT_EQ(back.moveCount, 2);
  EXPECT_EQ(back.cpiCount, 1);
  EXPECT_EQ(back.ledCount, 1);
  EXPECT_TRUE(countersAgree(back));
  EXPECT_EQ(back.ledRows[0].bytes[0], kLedRowMaxEntries);
}

TEST_F(GroupFileTest, BuiltinMacrosKeepTheirFirst56Steps) {
  Macro longMacro;
  setMacroName(longMacro, "long");
  for (int t = 0; t < 60; ++t) {
    longMacro.events[longMacro.eventCount++] = test::press(static_cast<std::uint8_t>(4 + t % 20), 10);
  }
  longMacro.ledRows[0] = LedRow::fresh();
  OpenGroup group;
  group.slots[0] = longMacro;
  group.count = 1;
  ASSERT_TRUE(writeMacro(file, group, 0));
  // As a group file all 60 steps load.
  OpenGroup asGroup;
  readGroupFile(file, asGroup, messages);
  EXPECT_EQ(asGroup.slots[0].eventCount, 60);

  BuiltinMacros builtins;
  ASSERT_TRUE(readBuiltinMacros(file, builtins, messages));
  ASSERT_EQ(builtins.count, 1);
  const Macro& b = builtins.macros[0];
  EXPECT_EQ(b.eventCount, kBuiltinMacroMaxSteps);
  EXPECT_EQ(b.events[55], longMacro.events[55]);
  EXPECT_EQ(b.events[56], MacroEvent{});
  EXPECT_EQ(b.ledRows[0], LedRow{}) << "LED rows lie beyond the short read";

  // Thirteen built-in macros at most.
  ASSERT_TRUE(ini::writeString(file, "Macros", "macroNum", "20"));
  readBuiltinMacros(file, builtins, messages);
  EXPECT_EQ(builtins.count, kBuiltinMacroSlots);
}

}  // namespace
}  // namespace quillet
