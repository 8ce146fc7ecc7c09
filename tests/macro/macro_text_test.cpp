// The texts of the macro page's lists: every kind of step line, the key names, the numbering of
// step and pause lines, and the LED list.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "core/macro/macro_text.h"
#include "core/settings/name_tables.h"
#include "macro/macro_test_support.h"

namespace quillet {
namespace {

using test::makeMacro;

struct LineCase {
  MacroEvent step;
  const char* text;
};

TEST(MacroText, EveryKindOfStepHasItsLine) {
  const std::vector<LineCase> cases = {
      {{1, 4, 0, 0, 5}, "[↓]A"},
      {{2, 4, 0, 0, 5}, "[↑]A"},
      {{0, 4, 0, 0, 5}, "A"},  // a key step of no direction: the name alone
      {{1, 100, 0, 0, 5}, "[↓]Unkown"},
      {{1, 241, 0, 0, 5}, "[↓]L-KEY"},
      {{2, 242, 0, 0, 5}, "[↑]M-KEY"},
      {{1, 243, 0, 0, 5}, "[↓]R-KEY"},
      {{3, 246, 5, 10, 5}, "[X-]:5,[Y-]:10"},
      {{4, 246, 5, 10, 5}, "[X-]:5,[Y+]:10"},
      {{5, 246, 5, 10, 5}, "[X+]:5,[Y-]:10"},
      {{6, 246, 100, 0, 5}, "[X+]:100,[Y+]:0"},
      {{7, 246, 5, 10, 5}, "[X]:eeror,[Y]:eeror"},
      {{9, 248, 1, 0, 5}, "[DPI]:200 "},
      {{9, 248, 4, 0, 5}, "[DPI]:800 "},
      {{9, 248, 7, 0, 5}, "[DPI]:1600 "},
      {{9, 248, 8, 0, 5}, "[DPI]:1600 "},
      {{9, 248, 10, 0, 5}, "[DPI]:2000 "},
      {{9, 248, 12, 0, 5}, "[DPI]:2400 "},
      {{9, 248, 15, 0, 5}, "[DPI]:4800 "},
      {{9, 248, 0, 0, 5}, "[DPI]:800 "},
      {{9, 248, 16, 0, 5}, "[DPI]:800 "},
      {{10, 248, 4, 0, 5}, "[DPI]:Reset"},
      {{1, 248, 4, 0, 5}, "[DPI]:Error"},
      {{13, 249, 0, 0, 5}, "[LED0]:LED-0 Data"},
      {{14, 249, 2, 0, 5}, "[LED1]:LED-2 Data"},
      {{15, 249, 4, 0, 5}, "[LED2]:LED-4 Data"},
      {{1, 249, 0, 0, 5}, "[LED0/1/2]:error"},
      {{0, 0, 0, 0, 5}, "[Delay]"},
      {{1, 0, 0, 0, 5}, "[Delay]"},
  };
  for (const LineCase& c : cases) {
    EXPECT_EQ(stepLineText(c.step), c.text) << "type " << int(c.step.type) << " code " << int(c.step.code);
  }
  EXPECT_EQ(pauseLineText(5), "    5ms");
  EXPECT_EQ(pauseLineText(65535), "    65535ms");
}

TEST(MacroText, KeyNamesFollowTheTable) {
  const std::vector<std::pair<int, const char*>> cases = {
      {4, "A"},        {29, "Z"},         {30, "1"},       {38, "9"},          {39, "0"},         {40, "RETURN"},
      {44, "SPACE"},   {45, "-"},         {46, "+"},       {49, "\\|"},        {52, " ' "},       {53, "`~"},
      {56, "/?"},      {57, "CAPITAL"},   {58, "F1"},      {69, "F12"},        {70, "SNAPSHOT"},  {89, "NUMPAD1"},
      {97, "NUMPAD9"}, {98, "NUMPAD0"},   {99, "DECIMAL"}, {101, "APPS"},      {104, "F13"},      {115, "F24"},
      {156, "CLEAR"},  {159, "SEPARATOR"}, {224, "LCONTROL"}, {231, "RWIN"},   {241, "L-KEY"},    {243, "R-KEY"},
      {0, "Unkown"},   {50, "Unkown"},    {100, "Unkown"}, {102, "Unkown"},    {240, "Unkown"},   {255, "Unkown"},
  };
  for (const auto& [code, name] : cases) {
    EXPECT_EQ(keyName(static_cast<std::uint8_t>(code)), name) << code;
  }
}

TEST(MacroText, EveryNameLeadsBackToItsOneCode) {
  std::set<std::string> seen;
  int named = 0;
  for (int code = 0; code < 256; ++code) {
    const std::string name = keyName(static_cast<std::uint8_t>(code));
    if (name == kUnknownKeyName) {
      EXPECT_FALSE(keyCodeOfName(name));
      continue;
    }
    ++named;
    EXPECT_TRUE(seen.insert(name).second) << "two codes are called " << name;
    EXPECT_EQ(keyCodeOfName(name), code) << name;
  }
  EXPECT_EQ(named, 124);  // 26 letters, 10 digits, 24 F-keys, 10 numpad digits, 54 other keys and buttons
  // Typed names: any ASCII case, blanks around them.
  EXPECT_EQ(keyCodeOfName("a"), 4);
  EXPECT_EQ(keyCodeOfName("  space "), 44);
  EXPECT_EQ(keyCodeOfName("'"), 52);
  EXPECT_EQ(keyCodeOfName("l-key"), 241);
  EXPECT_EQ(keyCodeOfName("f24"), 115);
  EXPECT_FALSE(keyCodeOfName(""));
  EXPECT_FALSE(keyCodeOfName("AA"));
}

TEST(MacroText, StepsAndPausesTakeTheirLines) {
  // A press with 5 ms after it and a release: three lines, the pause between them.
  const StepListing two = listSteps(makeMacro("m", {test::press(4, 5), test::release(4, 20)}));
  EXPECT_EQ(two.lines, (std::vector<std::string>{"[↓]A", "    5ms", "[↑]A"}));
  EXPECT_EQ(two.pressLines, 1);
  EXPECT_EQ(two.releaseLines, 1);

  const Macro m = makeMacro("m", {test::press(241, 1), test::move(3, 1, 2, 2), test::press(5, 3), test::release(5, 4)});
  const StepListing four = listSteps(m);
  ASSERT_EQ(four.lines.size(), 7u);
  EXPECT_EQ(stepLineCount(4), 7);
  for (int line = 0; line < 7; ++line) {
    const int step = stepOfLine(line);
    const std::string expected = isPauseLine(line) ? pauseLineText(m.events[static_cast<std::size_t>(step)].delay)
                                                   : stepLineText(m.events[static_cast<std::size_t>(step)]);
    EXPECT_EQ(four.lines[static_cast<std::size_t>(line)], expected) << line;
  }
  EXPECT_EQ(lineOfStep(3), 6);
  EXPECT_EQ(four.pressLines, 2);  // the button's press counts as a press line
  EXPECT_EQ(four.releaseLines, 1);
  EXPECT_TRUE(listSteps(Macro{}).lines.empty());
  EXPECT_EQ(stepLineCount(0), 0);
}

TEST(MacroText, TheLedListShowsTheFirstEntryAndEmptyValuesAfterIt) {
  AppState app;
  app.language = kEnglish;
  buildLightingNameTables(app.language, app);
  LedRow row = LedRow::fresh();
  row.bytes[4] = 3;
  row.bytes[5] = 3;
  row.bytes[6] = 25;
  EXPECT_EQ(listLedRow(row, app.lightingModeNames),
            (std::vector<std::string>{"[LEN     ]:1", "[Mode]:Constantly", "[Colour]:Colour3", "[Time]:2s"}));
  row.bytes[0] = 2;
  EXPECT_EQ(listLedRow(row, app.lightingModeNames),
            (std::vector<std::string>{"[LEN     ]:2", "[Mode]:Constantly", "[Colour]:Colour3", "[Time]:2s", "[Time]:2s",
                                      "[Mode]:", "[Colour]:", "[Time]:"}));
  row.bytes[0] = 200;  // more entries than a row holds: sixteen are listed
  EXPECT_EQ(listLedRow(row, app.lightingModeNames).size(), 1u + 16u * 4u - 1u);

  const std::vector<std::pair<int, const char*>> modes = {{1, "DPI breath"},   {2, "Cycle breath"}, {3, "Constantly"},
                                                          {6, "Flow water"},   {9, "Comet tail"},   {0, "Single water"},
                                                          {4, "Single water"}, {7, "Single water"}};
  for (const auto& [mode, name] : modes) {
    row.bytes[0] = 1;
    row.bytes[4] = static_cast<std::uint8_t>(mode);
    EXPECT_EQ(listLedRow(row, app.lightingModeNames)[1], std::string("[Mode]:") + name) << mode;
  }
  app.language = kChinese;
  buildLightingNameTables(app.language, app);
  row.bytes[4] = 6;
  EXPECT_EQ(listLedRow(row, app.lightingModeNames)[1], "[Mode]:行云流水");
}

TEST(MacroText, CpiValuesAndIndexes) {
  const std::vector<std::pair<int, int>> pairs = {{200, 1},   {400, 2},   {600, 3},   {800, 4},
                                                  {1000, 5},  {1200, 6},  {1600, 7},  {2000, 9},
                                                  {2400, 11}, {3200, 13}, {4000, 14}, {4800, 15}};
  for (const auto& [cpi, index] : pairs) {
    EXPECT_EQ(cpiIndexOf(cpi), index) << cpi;
    EXPECT_EQ(cpiOfIndex(index), cpi) << index;
  }
  EXPECT_FALSE(cpiIndexOf(1500));
  EXPECT_FALSE(cpiIndexOf(0));
}

}  // namespace
}  // namespace quillet
