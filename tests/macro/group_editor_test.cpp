// The editor of the open group: the step list's commands on the selected line with their limits
// and messages, the LED rows that move with their steps, the pause split, the in-place edits,
// the macro list and boxes with their saves, and a property test over random edit sequences.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/io/messages.h"
#include "core/macro/group_editor.h"
#include "core/macro/group_list.h"
#include "core/macro/macro_file.h"
#include "core/macro/macro_library.h"
#include "core/macro/macro_text.h"
#include "core/macro/step_edit.h"
#include "macro/macro_test_support.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
namespace sc = step_command;
using test::makeMacro;
using test::press;
using test::release;

constexpr const char* kLimit = "More than limit!";
constexpr const char* kError = "Error!";

class GroupEditorTest : public ::testing::Test {
 protected:
  GroupEditorTest() {
    folders = MacroFolders::of(temp / "skins", kEnglish);
    fs::create_directories(folders.macroFolder);
    MacroGroupList list;
    list.names[0] = "G";
    list.groupCount = 1;
    EXPECT_TRUE(writeGroupList(folders.macroFolder, list));
    OpenGroup group;
    group.slots[0] = makeMacro("keys", {press(4, 5), release(4, 20)});
    group.slots[1] = makeMacro("other", {press(5, 5)});
    group.count = 2;
    EXPECT_TRUE(writeAllMacros(file(), group));
    library.start(test::appIn(temp / "skins", temp.path(), kEnglish));
    messages.texts.clear();  // constMacro.dat is not there
    editor.macroShown();
  }

  fs::path file() const { return folders.macroFolder / "G.dat"; }
  Macro fileMacro(int index) {
    OpenGroup group;
    EXPECT_TRUE(readGroupFile(file(), group, messages));
    return group.slots[static_cast<std::size_t>(index)];
  }
  Macro& macro() { return *editor.current(); }
  const MacroEvent& step(int t) { return macro().events[static_cast<std::size_t>(t)]; }
  // Replaces the current macro's steps.
  void steps(std::initializer_list<MacroEvent> events) {
    Macro m = makeMacro(macroName(macro()), events);
    macro() = m;
    editor.macroShown();
  }
  void fill(int count, MacroEvent e) {
    Macro& m = macro();
    m = Macro{};
    setMacroName(m, "full");
    for (int i = 0; i < count; ++i) {
      m.events[static_cast<std::size_t>(i)] = e;
    }
    m.eventCount = static_cast<std::uint16_t>(count);
    recountSteps(m);
    editor.macroShown();
  }
  std::vector<std::string> said() {
    std::vector<std::string> out;
    out.swap(messages.texts);
    return out;
  }

  test::TempFolder temp;
  MacroFolders folders;
  RecordedMessages messages;
  MacroLibrary library{messages};
  GroupEditor editor{library, messages};
};

struct InsertCase {
  int command;
  int selectedLine;
  int position;        // where the step lands
  MacroEvent step;     // as inserted
  int lineAfter;       // the selection afterwards
};

TEST_F(GroupEditorTest, EachInsertCommandPutsItsStepBeforeOrAfterTheSelection) {
  const std::vector<InsertCase> cases = {
      {sc::kLeftPressBefore, 2, 1, {1, 241, 0, 0, 5}, 4},
      {sc::kLeftReleaseBefore, 0, 0, {2, 241, 0, 0, 5}, 2},
      {sc::kRightPressBefore, 2, 1, {1, 243, 0, 0, 5}, 4},
      {sc::kMiddleReleaseBefore, 2, 1, {2, 242, 0, 0, 5}, 4},
      {sc::kLeftPressAfter, 0, 1, {1, 241, 0, 0, 5}, 2},
      {sc::kRightReleaseAfter, 2, 2, {2, 243, 0, 0, 5}, 4},
      {sc::kMiddlePressAfter, 0, 1, {1, 242, 0, 0, 5}, 2},
      {sc::kMoveLeftUp, 0, 1, {3, 246, 10, 10, 5}, 2},
      {sc::kMoveLeftDown, 2, 2, {4, 246, 10, 10, 5}, 4},
      {sc::kMoveRightUp, 0, 1, {5, 246, 10, 10, 5}, 2},
      {sc::kMoveRightDown, 0, 1, {6, 246, 10, 10, 5}, 2},
      {sc::kCpiSet, 0, 1, {9, 248, 4, 0, 5}, 2},
      {sc::kCpiReset, 2, 2, {10, 248, 4, 0, 5}, 4},
      {sc::kLed, 0, 1, {13, 249, 0, 0, 5}, 2},
      {sc::kPause, 2, 2, {0, 0, 0, 0, 5}, 4},
      // A pause line's step is the one before it.
      {sc::kLeftPressAfter, 1, 1, {1, 241, 0, 0, 5}, 3},
  };
  for (const InsertCase& c : cases) {
    steps({press(4, 5), release(4, 20)});
    editor.selectLine(c.selectedLine);
    const MacroEvent before0 = step(0);
    const MacroEvent before1 = step(1);
    const StepCommandResult r = editor.runCommand(c.command);
    EXPECT_TRUE(r.changed) << c.command;
    ASSERT_EQ(macro().eventCount, 3) << c.command;
    EXPECT_EQ(step(c.position), c.step) << c.command;
    // The two steps that were there keep their order around it.
    EXPECT_EQ(step(c.position == 0 ? 1 : 0), before0) << c.command;
    EXPECT_EQ(step(c.position == 2 ? 1 : 2), before1) << c.command;
    EXPECT_EQ(editor.selectedLine(), c.lineAfter) << c.command;
    EXPECT_TRUE(countersAgree(macro())) << c.command;
    EXPECT_TRUE(said().empty()) << c.command;
  }
  // Into an empty macro: at the start, the first line selected.
  steps({});
  editor.selectLine(6);
  EXPECT_TRUE(editor.runCommand(sc::kMiddleReleaseBefore).changed);
  EXPECT_EQ(step(0), (MacroEvent{2, 242, 0, 0, 5}));
  EXPECT_EQ(editor.selectedLine(), 0);
}

struct LimitCase {
  const char* what;
  int count;
  MacroEvent filler;
  int command;
  const char* message;
};

TEST_F(GroupEditorTest, InsertsStopAtTheLimitsWithTheirMessages) {
  const MacroEvent key = press(4, 5);
  const std::vector<LimitCase> cases = {
      {"180 steps, button", 180, key, sc::kLeftPressAfter, kLimit},
      {"180 steps, move", 180, key, sc::kMoveLeftUp, kLimit},
      {"180 steps, CPI", 180, key, sc::kCpiSet, kLimit},
      {"180 steps, LED", 180, key, sc::kLed, kLimit},
      {"180 steps, pause", 180, key, sc::kPause, kLimit},
      {"50 moves", 50, {6, 246, 1, 1, 5}, sc::kMoveRightDown, kError},
      {"5 CPI steps", 5, {9, 248, 4, 0, 5}, sc::kCpiReset, kError},
      {"5 LED steps", 5, {13, 249, 0, 0, 5}, sc::kLed, kLimit},
  };
  for (const LimitCase& c : cases) {
    fill(c.count, c.filler);
    if (c.filler.code == step_code::kLed) {
      for (int i = 0; i < c.count; ++i) {
        macro().events[static_cast<std::size_t>(i)].x = static_cast<std::int16_t>(i);
        macro().ledRows[static_cast<std::size_t>(i)] = LedRow::fresh();
      }
    }
    const Macro before = macro();
    const int line = editor.selectedLine();
    EXPECT_FALSE(editor.runCommand(c.command).changed) << c.what;
    EXPECT_EQ(said(), std::vector<std::string>{c.message}) << c.what;
    EXPECT_EQ(macro(), before) << c.what;
    EXPECT_EQ(editor.selectedLine(), line) << c.what;
  }
}

TEST_F(GroupEditorTest, LedStepsKeepTheirRowsInStepOrder) {
  auto ledStep = [](int row) { return test::led(step_type::kLed0, static_cast<std::int16_t>(row), 5); };
  auto rowWith = [](int mark) {
    LedRow r = LedRow::fresh();
    r.bytes[6] = static_cast<std::uint8_t>(mark);
    return r;
  };
  // Inserted after a key step that stands before the only LED step: the new step takes row 0
  // with fresh data, the old one row 1 with its data.
  steps({press(4, 5), ledStep(0)});
  macro().ledRows[0] = rowWith(77);
  editor.selectLine(0);
  ASSERT_TRUE(editor.runCommand(sc::kLed).changed);
  EXPECT_EQ(step(1).x, 0);
  EXPECT_EQ(step(2).x, 1);
  EXPECT_EQ(macro().ledRows[0], LedRow::fresh());
  EXPECT_EQ(macro().ledRows[1], rowWith(77));
  EXPECT_EQ(macro().ledCount, 2);

  // Removing the middle one of three: rows 0 and 1 hold the first's and the third's data.
  steps({ledStep(0), ledStep(1), ledStep(2)});
  macro().ledRows[0] = rowWith(1);
  macro().ledRows[1] = rowWith(2);
  macro().ledRows[2] = rowWith(3);
  editor.selectLine(2);
  ASSERT_TRUE(editor.runCommand(sc::kDeleteStep).changed);
  EXPECT_EQ(macro().eventCount, 2);
  EXPECT_EQ(step(0).x, 0);
  EXPECT_EQ(step(1).x, 1);
  EXPECT_EQ(macro().ledRows[0], rowWith(1));
  EXPECT_EQ(macro().ledRows[1], rowWith(3));
  EXPECT_EQ(macro().ledRows[2], LedRow{});
  EXPECT_EQ(macro().ledCount, 2);

  // Steps numbered apart from their rows (a damaged file): "Error!" and nothing moves.
  steps({ledStep(0), press(4, 5), ledStep(3)});
  const Macro damaged = macro();
  editor.selectLine(2);
  EXPECT_FALSE(editor.runCommand(sc::kLed).changed);
  EXPECT_EQ(said(), std::vector<std::string>{kError});
  EXPECT_EQ(macro(), damaged);
  // Nor does the LED list show a row that does not exist.
  steps({test::led(step_type::kLed0, 9, 5)});
  EXPECT_EQ(editor.ledRowShown(), -1);
  EXPECT_FALSE(editor.ledPopupOpens(kLedModeLine));
}

struct PauseCase {
  const char* typed;
  std::vector<std::uint16_t> delays;  // of the edited step and the pause steps after it
  std::vector<std::string> messages;
};

TEST_F(GroupEditorTest, PauseLinesTakeTheirDelayAndSplitLongPauses) {
  const std::vector<PauseCase> cases = {
      {"    300ms", {300}, {}},
      {"300", {300}, {}},
      {"1269ms", {1269}, {}},
      {"1270ms", {1270, 0}, {}},
      {"3000", {1270, 1270, 460}, {}},
      {"20000ms", {1270, 1270, 1270, 1270, 1270, 1270, 1270, 1270, 1270, 1270, 0}, {kLimit}},
      {"12700", {1270, 1270, 1270, 1270, 1270, 1270, 1270, 1270, 1270, 1270, 0}, {}},
      {"-40ms", {0}, {}},
      {"soon", {0}, {}},
  };
  for (const PauseCase& c : cases) {
    steps({press(4, 5), release(4, 20)});
    ASSERT_TRUE(editor.stepLineEdited(1, c.typed)) << c.typed;
    EXPECT_EQ(said(), c.messages) << c.typed;
    ASSERT_EQ(macro().eventCount, c.delays.size() + 1) << c.typed;
    for (std::size_t i = 0; i < c.delays.size(); ++i) {
      EXPECT_EQ(step(static_cast<int>(i)).delay, c.delays[i]) << c.typed << " step " << i;
      if (i > 0) {
        EXPECT_EQ(step(static_cast<int>(i)).code, step_code::kPause) << c.typed;
      }
    }
    EXPECT_EQ(step(static_cast<int>(c.delays.size())), release(4, 20)) << c.typed;
  }
  // Near 180 steps the parts that do not fit are dropped, with one message.
  fill(178, press(4, 5));
  editor.selectLine(1);
  ASSERT_TRUE(editor.stepLineEdited(1, "5000ms"));
  EXPECT_EQ(macro().eventCount, 180);
  EXPECT_EQ(step(0).delay, 1270);
  EXPECT_EQ(step(1).delay, 1270);
  EXPECT_EQ(step(2).delay, 1270);
  EXPECT_EQ(said(), std::vector<std::string>{kLimit});
}

struct StepEditCase {
  MacroEvent step;
  const char* typed;
  MacroEvent after;
  std::vector<std::string> messages;
};

TEST_F(GroupEditorTest, StepLinesEditedInPlaceChangeTheirParameters) {
  const std::vector<StepEditCase> cases = {
      {{3, 246, 10, 10, 5}, "[X-]:150,[Y-]:7", {3, 246, 100, 7, 5}, {kLimit}},
      {{3, 246, 10, 10, 5}, "[X-]:150,[Y-]:170", {3, 246, 100, 100, 5}, {kLimit, kLimit}},
      {{6, 246, 10, 10, 5}, "[X+]:-4,[Y+]:30", {6, 246, 0, 30, 5}, {}},
      {{6, 246, 10, 10, 5}, "nothing", {6, 246, 0, 0, 5}, {}},
      {{9, 248, 4, 0, 5}, "[DPI]:1600 ", {9, 248, 7, 0, 5}, {}},
      {{9, 248, 4, 0, 5}, "[DPI]:4800", {9, 248, 15, 0, 5}, {}},
      {{9, 248, 7, 0, 5}, "[DPI]:1500", {9, 248, 4, 0, 5}, {kMsgCpiValues}},
      {{10, 248, 4, 0, 5}, "[DPI]:1600", {10, 248, 4, 0, 5}, {}},  // a reset has no value
      {{1, 241, 0, 0, 5}, "A", {1, 4, 0, 0, 5}, {}},
      {{1, 241, 0, 0, 5}, "[↑]space", {2, 44, 0, 0, 5}, {}},
      {{2, 4, 0, 0, 5}, "[↓]R-KEY", {1, 243, 0, 0, 5}, {}},
      {{2, 4, 0, 0, 5}, "[↑]B", {2, 5, 0, 0, 5}, {}},
      {{1, 4, 0, 0, 5}, "[↓]Unkown", {1, 4, 0, 0, 5}, {kError}},
      {{13, 249, 0, 0, 5}, "[LED0]:LED-3 Data", {13, 249, 0, 0, 5}, {}},  // its row is edited in the LED list
  };
  for (const StepEditCase& c : cases) {
    steps({press(4, 5), c.step});
    macro().ledRows[0] = LedRow::fresh();
    editor.stepLineEdited(2, c.typed);
    EXPECT_EQ(step(1), c.after) << c.typed;
    EXPECT_EQ(said(), c.messages) << c.typed;
    EXPECT_EQ(step(0), press(4, 5)) << c.typed;
    EXPECT_TRUE(countersAgree(macro())) << c.typed;
  }
}

TEST_F(GroupEditorTest, OnlyLinesWithSomethingToEditStartAnEdit) {
  steps({press(4, 5), {0, 0, 0, 0, 5}, {1, 241, 0, 0, 5}, {13, 249, 0, 0, 5}});
  // Line 6 is an LED step: its data is edited in the LED list, its line would throw the text
  // typed away, so the menu does not offer the edit there.
  const std::vector<std::pair<int, std::optional<int>>> change = {
      {0, 0}, {2, std::nullopt}, {4, 4}, {6, std::nullopt}, {1, std::nullopt}};
  for (const auto& [line, edit] : change) {
    editor.selectLine(line);
    EXPECT_EQ(editor.runCommand(sc::kChangeParameters).editLine, edit) << line;
    EXPECT_EQ(editor.commandOffered(sc::kChangeParameters), line != 6) << line;
    EXPECT_TRUE(editor.commandOffered(sc::kModifyDelay)) << line;
    EXPECT_TRUE(editor.commandOffered(sc::kDeleteStep)) << line;
    EXPECT_FALSE(editor.runCommand(sc::kChangeParameters).changed);
  }
  for (int line : {1, 3, 5}) {
    editor.selectLine(line);
    EXPECT_EQ(editor.runCommand(sc::kModifyDelay).editLine, line);
  }
  editor.selectLine(2);
  EXPECT_FALSE(editor.runCommand(sc::kModifyDelay).editLine);
  steps({});
  EXPECT_FALSE(editor.runCommand(sc::kChangeParameters).editLine);
  EXPECT_FALSE(editor.runCommand(sc::kModifyDelay).editLine);
  EXPECT_FALSE(editor.runCommand(sc::kDeleteStep).changed);
  EXPECT_TRUE(editor.stepMenuOpens(-1)) << "an empty list opens its menu anywhere";
  steps({press(4, 5)});
  EXPECT_TRUE(editor.stepMenuOpens(0));
  EXPECT_FALSE(editor.stepMenuOpens(1));
  EXPECT_FALSE(editor.stepMenuOpens(-1));
}

TEST_F(GroupEditorTest, DeleteMovesTheSelectionUp) {
  const std::vector<std::pair<int, int>> moves = {{6, 4}, {5, 3}, {3, 1}, {2, 0}, {1, 0}, {0, 0}};
  for (const auto& [line, after] : moves) {
    steps({press(4, 5), release(4, 5), test::move(3, 1, 1, 5), {9, 248, 4, 0, 5}});
    editor.selectLine(line);
    const MacroEvent removed = step(stepOfLine(line));
    ASSERT_TRUE(editor.runCommand(sc::kDeleteStep).changed);
    EXPECT_EQ(macro().eventCount, 3);
    EXPECT_EQ(editor.selectedLine(), after) << line;
    EXPECT_EQ(macro().events[3], MacroEvent{}) << "the slot after the last step is zero";
    EXPECT_TRUE(countersAgree(macro())) << line;
    for (int t = 0; t < 3; ++t) {
      EXPECT_NE(step(t), removed) << line;
    }
  }
}

TEST_F(GroupEditorTest, TheLedListEditsTimeAndThePopupsEffectAndColour) {
  steps({press(4, 5), test::led(step_type::kLed0, 0, 5)});
  macro().ledRows[0] = LedRow::fresh();
  editor.selectLine(0);
  EXPECT_EQ(editor.ledRowShown(), -1);
  EXPECT_FALSE(editor.ledPopupOpens(kLedModeLine));
  editor.selectLine(2);
  ASSERT_EQ(editor.ledRowShown(), 0);
  EXPECT_TRUE(editor.ledPopupOpens(kLedModeLine));
  EXPECT_TRUE(editor.ledPopupOpens(kLedColourLine));
  EXPECT_FALSE(editor.ledPopupOpens(kLedTimeLine));

  EXPECT_TRUE(editor.ledLineEdited(kLedTimeLine, "[Time]:5s"));
  EXPECT_EQ(editor.ledRow()->bytes[6], 50);
  EXPECT_TRUE(editor.ledLineEdited(kLedTimeLine, "[Time]:30s"));
  EXPECT_EQ(editor.ledRow()->bytes[6], 250);
  EXPECT_EQ(said(), std::vector<std::string>{kLimit});
  EXPECT_FALSE(editor.ledLineEdited(kLedColourLine, "[Colour]:5"));
  EXPECT_EQ(editor.ledRow()->bytes[5], 0);

  const std::vector<std::pair<int, int>> effects = {{1, 1}, {2, 2}, {3, 3}, {4, 6}, {5, 7}, {6, 9}, {7, 7}, {10, 7}, {0, 7}};
  for (const auto& [row, mode] : effects) {
    editor.ledEffectChosen(row);
    EXPECT_EQ(editor.ledRow()->bytes[4], mode) << row;
  }
  for (int row = 1; row <= 7; ++row) {
    editor.ledColourChosen(row);
    EXPECT_EQ(editor.ledRow()->bytes[5], row);
  }
  editor.ledColourChosen(8);
  EXPECT_EQ(editor.ledRow()->bytes[5], 7);
}

TEST_F(GroupEditorTest, NewAndDeleteMacroSaveWhatTheyLeave) {
  // An unsaved edit of the current macro is saved when a new macro is made.
  macro().events[0].delay = 99;
  ASSERT_TRUE(editor.newMacro());
  EXPECT_EQ(readMacro(folders.macroFolder, 0, 0).events[0].delay, 99);
  EXPECT_EQ(editor.currentIndex(), 2);
  EXPECT_EQ(macroName(macro()), "New");
  EXPECT_EQ(macro().eventCount, 0);
  EXPECT_EQ(macro().loopCount, 1);
  EXPECT_EQ(library.openMacros().count, 3);
  EXPECT_EQ(readMacroNum(file()), 2) << "the new macro waits for its save";
  EXPECT_FALSE(editor.newMacro());
  EXPECT_EQ(said(), std::vector<std::string>{"'New' Double name!"});

  // Selecting another macro saves the one left.
  EXPECT_TRUE(editor.renameInList(2, "Combo"));
  ASSERT_TRUE(editor.selectMacro(0));
  EXPECT_EQ(readMacroNum(file()), 3);
  EXPECT_EQ(macroName(readMacro(folders.macroFolder, 0, 2)), "Combo");
  EXPECT_EQ(library.macroNames().groups[0].names[2], "Combo") << "the macro menus list it";

  // Deleting rewrites the file with the others; the one before becomes current.
  ASSERT_TRUE(editor.selectMacro(1));
  ASSERT_TRUE(editor.deleteMacro());
  EXPECT_EQ(editor.currentIndex(), 0);
  EXPECT_EQ(readMacroNum(file()), 2);
  EXPECT_EQ(macroName(readMacro(folders.macroFolder, 0, 1)), "Combo");
  EXPECT_EQ(library.openMacros().slots[2], Macro{});
  EXPECT_EQ(library.macroNames().groups[0].count, 2);
  ASSERT_TRUE(editor.deleteMacro());
  ASSERT_TRUE(editor.deleteMacro());
  EXPECT_EQ(editor.current(), nullptr);
  EXPECT_FALSE(editor.deleteMacro());
  EXPECT_EQ(readMacroNum(file()), 0);
  EXPECT_EQ(editor.loopBox().text, "1");
  EXPECT_FALSE(editor.loopBox().enabled);

  // Twelve macros: no thirteenth.
  for (int i = 0; i < kGroupMaxMacros; ++i) {
    ASSERT_TRUE(editor.newMacro()) << i;
    ASSERT_TRUE(editor.renameInList(i, "m" + std::to_string(i)));
  }
  EXPECT_FALSE(editor.newMacro());
  EXPECT_EQ(said(), std::vector<std::string>{kLimit});
}

TEST_F(GroupEditorTest, NamesAndLoopCountsAreCheckedAndSaved) {
  EXPECT_FALSE(editor.renameInList(0, "TenLetters"));
  EXPECT_EQ(said(), std::vector<std::string>{kLimit});
  EXPECT_TRUE(editor.renameInList(0, "NineChars"));
  EXPECT_EQ(macroName(macro()), "NineChars");
  EXPECT_EQ(macroName(readMacro(folders.macroFolder, 0, 0)), "keys") << "a rename in the list waits for a save";

  const std::vector<std::pair<const char*, const char*>> names = {
      {"", "NineChars"}, {" ", "NineChars"}, {"other", "NineChars"}, {"NineChars", "NineChars"}, {"Fire", "Fire"}};
  for (const auto& [typed, shown] : names) {
    EXPECT_EQ(editor.nameBoxEdited(typed), shown) << typed;
  }
  EXPECT_EQ(macroName(readMacro(folders.macroFolder, 0, 0)), "Fire") << "a valid name is saved";

  // The box's edit ending: the count is put in range, shown and saved.
  const std::vector<std::pair<const char*, std::optional<std::string>>> loops = {
      {"25", std::nullopt}, {"0", "1"}, {"", "1"}, {"-3", "1"}, {"70000", "65535"}, {"65535", std::nullopt}};
  for (const auto& [typed, corrected] : loops) {
    EXPECT_EQ(editor.loopBoxFinished(typed), corrected) << typed;
    EXPECT_EQ(readMacro(folders.macroFolder, 0, 0).loopCount, std::stoi(corrected.value_or(typed))) << typed;
  }
  EXPECT_EQ(editor.loopBox().text, "65535");
  EXPECT_TRUE(editor.loopBox().enabled);

  // While it is typed: the count follows in memory, the box is only put right above the
  // largest count (never written back when cleared), and the file waits for the end.
  struct Typing {
    const char* text;
    std::optional<std::string> corrected;
    int inMemory;
  };
  const std::vector<Typing> typing = {
      {"", std::nullopt, 65535}, {"5", std::nullopt, 5}, {"", std::nullopt, 5}, {"0", std::nullopt, 5},
      {"07", std::nullopt, 7}, {"99999", "65535", 65535}, {"12", std::nullopt, 12}};
  for (const Typing& t : typing) {
    EXPECT_EQ(editor.loopBoxTyped(t.text), t.corrected) << t.text;
    EXPECT_EQ(macro().loopCount, t.inMemory) << t.text;
    EXPECT_EQ(readMacro(folders.macroFolder, 0, 0).loopCount, 65535) << "not written while typed: " << t.text;
  }
  EXPECT_EQ(editor.loopBoxFinished("12"), std::nullopt);
  EXPECT_EQ(readMacro(folders.macroFolder, 0, 0).loopCount, 12);
}

// A file with no write bit is read-only, as the read-only attribute is on Windows.
constexpr auto kWritable = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                           std::filesystem::perms::group_read | std::filesystem::perms::others_read;
constexpr auto kReadOnly =
    std::filesystem::perms::owner_read | std::filesystem::perms::group_read | std::filesystem::perms::others_read;

TEST_F(GroupEditorTest, EverySaveThatFailsIsSaidAndTheEditStaysInMemory) {
  // The group file read-only, as a full disk refuses it: each command that saves says "Error!"
  // with the file, and what was edited is still there to be saved later.
  struct Case {
    const char* name;
    std::function<void(GroupEditor&)> run;
    std::function<bool(const OpenGroup&)> kept;
  };
  const std::vector<Case> cases = {
      {"select", [](GroupEditor& e) { e.selectMacro(1); },
       [](const OpenGroup& g) { return macroName(g.slots[0]) == "edited"; }},
      {"new macro", [](GroupEditor& e) { e.newMacro(); },
       [](const OpenGroup& g) { return g.count == 3 && macroName(g.slots[0]) == "edited"; }},
      {"name box", [](GroupEditor& e) { e.nameBoxEdited("Named"); },
       [](const OpenGroup& g) { return macroName(g.slots[0]) == "Named"; }},
      {"loop box", [](GroupEditor& e) { e.loopBoxFinished("9"); },
       [](const OpenGroup& g) { return g.slots[0].loopCount == 9; }},
      {"delete macro", [](GroupEditor& e) { e.deleteMacro(); },
       [](const OpenGroup& g) { return g.count == 1 && macroName(g.slots[0]) == "other"; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::permissions(file(), kWritable);
    library.start(test::appIn(temp / "skins", temp.path(), kEnglish));
    messages.texts.clear();
    editor.macroShown();
    setMacroName(macro(), "edited");
    const std::string before = test::readText(file());
    std::filesystem::permissions(file(), kReadOnly);
    c.run(editor);
    EXPECT_EQ(said(), std::vector<std::string>{saveFailedMessage(file())});
    EXPECT_TRUE(c.kept(library.openMacros()));
    EXPECT_EQ(test::readText(file()), before);
  }
  std::filesystem::permissions(file(), kWritable);
}

TEST_F(GroupEditorTest, PlayModesSetTheirBitsAndTheLoopCount) {
  macro().playMode = 0x0C;  // mode 0 with both flags, as a file may hold it
  macro().loopCount = 7;
  editor.setPlayMode(PlayModeChoice::WhileHeld);
  EXPECT_EQ(macro().playMode, 0x0A);
  EXPECT_EQ(macro().loopCount, 1);
  EXPECT_EQ(macroDeviceFunction(macro()), kDeviceFunctionMacro) << "the flag keeps it off the while-held function";
  EXPECT_FALSE(editor.loopBox().enabled);
  EXPECT_EQ(editor.loopBox().text, "1");
  editor.setPlayMode(PlayModeChoice::Toggle);
  EXPECT_EQ(macro().playMode, 0x09);
  editor.setPlayMode(PlayModeChoice::LoopCount);
  EXPECT_EQ(macro().playMode, 0x00) << "mode 0 clears the continuous modes' flag";
  EXPECT_TRUE(editor.loopBox().enabled);
  macro().loopCount = 3;
  EXPECT_EQ(editor.loopBox().text, "3");
  editor.setPlayMode(PlayModeChoice::WhileHeld);
  EXPECT_EQ(macroDeviceFunction(macro()), kDeviceFunctionMacroHeld);
  EXPECT_EQ(readMacro(folders.macroFolder, 0, 0).playMode, 0) << "play modes wait for a save";
}

// The record's invariants: the counters count the steps in use, the slots after them are zero,
// the n-th LED step uses row n, and the rows after the last in use are zero.
::testing::AssertionResult keepsItsInvariants(const Macro& m) {
  if (!countersAgree(m)) {
    return ::testing::AssertionFailure() << "counters disagree with the steps";
  }
  for (int t = m.eventCount; t < kMacroMaxSteps; ++t) {
    if (m.events[static_cast<std::size_t>(t)] != MacroEvent{}) {
      return ::testing::AssertionFailure() << "step " << t << " after the last is not zero";
    }
  }
  int led = 0;
  for (int t = 0; t < m.eventCount; ++t) {
    const MacroEvent& e = m.events[static_cast<std::size_t>(t)];
    if (e.code == step_code::kLed && e.x != led++) {
      return ::testing::AssertionFailure() << "LED step " << t << " has row " << e.x << ", not " << led - 1;
    }
  }
  for (int r = m.ledCount; r < kLedRowCount; ++r) {
    if (m.ledRows[static_cast<std::size_t>(r)] != LedRow{}) {
      return ::testing::AssertionFailure() << "row " << r << " is not in use but not zero";
    }
  }
  return ::testing::AssertionSuccess();
}

TEST_F(GroupEditorTest, AnySequenceOfEditsKeepsTheRecordWholeAndReadsBack) {
  const std::vector<int> commands = {
      sc::kLeftPressBefore, sc::kLeftReleaseBefore, sc::kRightPressBefore, sc::kRightReleaseBefore,
      sc::kMiddlePressBefore, sc::kMiddleReleaseBefore, sc::kLeftPressAfter, sc::kLeftReleaseAfter,
      sc::kRightPressAfter, sc::kRightReleaseAfter, sc::kMiddlePressAfter, sc::kMiddleReleaseAfter,
      sc::kMoveLeftUp, sc::kMoveLeftDown, sc::kMoveRightUp, sc::kMoveRightDown, sc::kCpiSet, sc::kCpiReset,
      sc::kLed, sc::kLed, sc::kPause, sc::kDeleteStep, sc::kDeleteStep, sc::kDeleteStep};
  const std::vector<const char*> pauses = {"0", "5ms", "1269", "1270", "4321ms", "12700", "99999", "-1"};
  const std::vector<const char*> params = {"[X-]:3,[Y+]:200", "[DPI]:2400", "[DPI]:7", "Q", "[↑]F5", "x"};
  for (unsigned seed = 1; seed <= 25; ++seed) {
    std::mt19937 rng(seed);
    auto pick = [&rng](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
    for (int op = 0; op < 400; ++op) {
      ASSERT_NE(editor.current(), nullptr);
      const int lines = editor.lineCount();
      switch (pick(10)) {
        case 0:
          editor.selectLine(lines > 0 ? static_cast<int>(pick(static_cast<std::size_t>(lines))) : 0);
          break;
        case 1:
          if (lines > 1) {
            editor.stepLineEdited(2 * static_cast<int>(pick(static_cast<std::size_t>(lines / 2))) + 1,
                                  pauses[pick(pauses.size())]);
          }
          break;
        case 2:
          if (lines > 0) {
            editor.stepLineEdited(2 * static_cast<int>(pick(static_cast<std::size_t>(lines / 2 + 1))),
                                  params[pick(params.size())]);
          }
          break;
        case 3:
          editor.ledEffectChosen(static_cast<int>(pick(12)));
          editor.ledColourChosen(static_cast<int>(pick(9)));
          editor.ledLineEdited(kLedTimeLine, "[Time]:" + std::to_string(pick(40)) + "s");
          break;
        case 4:
          editor.selectMacro(static_cast<int>(pick(2)));
          break;
        default:
          editor.runCommand(commands[pick(commands.size())]);
          break;
      }
      ASSERT_TRUE(keepsItsInvariants(*editor.current())) << "seed " << seed << " operation " << op;
      ASSERT_LE(editor.selectedLine(), std::max(editor.lineCount() - 1, 0));
    }
    // What the group file holds reads back as the macros in memory.
    ASSERT_TRUE(library.saveOpenGroup());
    OpenGroup back;
    RecordedMessages quiet;
    ASSERT_TRUE(readGroupFile(file(), back, quiet));
    ASSERT_EQ(back.count, library.openMacros().count);
    for (int k = 0; k < back.count; ++k) {
      EXPECT_EQ(back.slots[static_cast<std::size_t>(k)], library.openMacros().slots[static_cast<std::size_t>(k)])
          << "seed " << seed << " macro " << k;
    }
    messages.texts.clear();
  }
}

// ---- recording ----

TEST_F(GroupEditorTest, RecordingFillsTheCurrentMacroAndEveryEditWaitsForItsEnd) {
  ASSERT_TRUE(editor.startRecording());
  EXPECT_FALSE(editor.startRecording()) << "once";
  EXPECT_EQ(macro().eventCount, 0);
  EXPECT_EQ(macroName(macro()), "keys");
  EXPECT_EQ(editor.recordKey(key_message::kKeyDown, 'A', 1000), MacroRecorder::Outcome::Recorded);
  EXPECT_EQ(editor.recordKey(key_message::kKeyUp, 'A', 1250), MacroRecorder::Outcome::Recorded);
  EXPECT_EQ(editor.selectedLine(), 2) << "the last line";

  const Macro recorded = macro();
  EXPECT_FALSE(editor.selectMacro(1));
  EXPECT_EQ(said(), (std::vector<std::string>{"Recording"}));
  EXPECT_FALSE(editor.newMacro());
  EXPECT_FALSE(editor.deleteMacro());
  EXPECT_FALSE(editor.renameInList(0, "x"));
  EXPECT_EQ(editor.nameBoxEdited("renamed"), "keys");
  EXPECT_EQ(editor.loopBoxTyped("9"), std::nullopt);
  EXPECT_EQ(editor.loopBoxFinished("9"), std::nullopt);
  editor.setPlayMode(PlayModeChoice::Toggle);
  EXPECT_FALSE(editor.stepLineEdited(1, "500ms"));
  EXPECT_FALSE(editor.stepMenuOpens(0));
  for (const int command : {sc::kDeleteStep, sc::kLeftPressAfter, sc::kLed, sc::kPause, sc::kModifyDelay}) {
    EXPECT_EQ(editor.runCommand(command).changed, false) << command;
  }
  EXPECT_EQ(macro(), recorded) << "nothing changed while recording";
  EXPECT_TRUE(said().empty());
  EXPECT_EQ(fileMacro(0).eventCount, 2) << "nor was the file written";

  editor.stopRecording();
  EXPECT_TRUE(editor.stepMenuOpens(0));
  EXPECT_EQ(macro().events[0], (MacroEvent{1, 4, 0, 0, 250}));
  EXPECT_TRUE(editor.selectMacro(1)) << "the edits answer again";
  EXPECT_EQ(fileMacro(0).events[0], (MacroEvent{1, 4, 0, 0, 250})) << "saved when left, as every edit";
}

}  // namespace
}  // namespace quillet
