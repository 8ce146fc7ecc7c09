// The macro library: macroGrp.ini, the group operations and the safety of group names.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/io/file_io.h"
#include "core/io/ini.h"
#include "core/io/messages.h"
#include "core/io/text_codec.h"
#include "core/macro/group_editor.h"
#include "core/macro/group_list.h"
#include "core/macro/macro_file.h"
#include "core/macro/macro_library.h"
#include "core/settings/profile_settings.h"
#include "macro/macro_test_support.h"
#include "support/process.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

// Every path below `root`, relative to it.
std::set<std::string> treeOf(const fs::path& root) {
  std::set<std::string> paths;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    paths.insert(fs::relative(entry.path(), root).string());
  }
  return paths;
}

class LibraryTest : public ::testing::Test {
 protected:
  LibraryTest() {
    folders = MacroFolders::of(skins(), kEnglish);
    fs::create_directories(folders.macroFolder);
    fs::create_directories(folders.resetFolder);
  }

  fs::path skins() const { return temp / "skins"; }

  // A group file in `folder` whose macros are named after `macros`.
  static void writeGroup(const fs::path& folder, const std::string& name, std::vector<std::string> macros) {
    OpenGroup group;
    for (const std::string& m : macros) {
      group.slots[group.count++] = test::makeMacro(m, {test::press(4, 10), test::release(4, 10)});
    }
    ASSERT_TRUE(writeAllMacros(folder / (name + ".dat"), group));
  }

  void listGroups(const fs::path& folder, std::vector<std::string> names) {
    MacroGroupList list;
    for (const std::string& n : names) {
      list.names[list.groupCount++] = n;
    }
    ASSERT_TRUE(writeGroupList(folder, list));
  }

  // A library of the given groups, each with two macros "<group>1" and "<group>2".
  void makeLibrary(std::vector<std::string> names) {
    for (const std::string& n : names) {
      writeGroup(folders.macroFolder, n, {n + "1", n + "2"});
    }
    listGroups(folders.macroFolder, names);
    library.start(test::appIn(skins(), temp.path(), kEnglish));
    messages.texts.clear();  // constMacro.dat is absent here
  }

  std::vector<std::string> listedNames() const {
    const MacroGroupList list = readGroupList(folders.macroFolder);
    return {list.names.begin(), list.names.begin() + list.groupCount};
  }

  TempFolder temp;
  MacroFolders folders;
  RecordedMessages messages;
  MacroLibrary library{messages};
};

TEST_F(LibraryTest, LoadDropsGroupsThatAreNotThere) {
  writeGroup(folders.macroFolder, "A", {"a"});
  writeGroup(folders.macroFolder, "D", {"d"});
  writeGroup(temp.path(), "escape", {"e"});
  listGroups(folders.macroFolder, {"A", "B", "C", "D"});
  // A name that reaches outside the folder is dropped like a missing file, and so is a group
  // listed twice.
  ASSERT_TRUE(ini::WriteBatch(groupListPath(folders.macroFolder))
      .set(kGroupNumSection, kGroupNumKey, "6")
      .set(kGroupNameSection, "4", "../../escape")
      .set(kGroupNameSection, "5", "A")
      .commit());

  const MacroPageView view = library.start(test::appIn(skins(), temp.path(), kEnglish));
  EXPECT_EQ(view.groupNames, (std::vector<std::string>{"A", "D"}));
  EXPECT_EQ(view.currentGroup, 0);
  EXPECT_EQ(view.macroNames, std::vector<std::string>{"a"});
  EXPECT_EQ(listedNames(), (std::vector<std::string>{"A", "D"})) << "macroGrp.ini is rewritten";
  EXPECT_EQ(ini::readString(groupListPath(folders.macroFolder), kGroupNameSection, "2", "x", 20), "");
  EXPECT_TRUE(fs::exists(temp / "escape.dat"));
  // Only the missing constMacro.dat was reported.
  EXPECT_EQ(messages.texts, std::vector<std::string>{kMsgMacroFileMissing});
}

TEST_F(LibraryTest, NamesComeBackThroughTheTwentyCharacterRead) {
  ASSERT_TRUE(ini::WriteBatch(groupListPath(folders.macroFolder))
      .set(kGroupNumSection, kGroupNumKey, "3")
      .set(kGroupNameSection, "0", "abcdefghijklmnopqrstuvwxyz")
      .set(kGroupNameSection, "1", "一二三四五六七八九十一二三四五六七八九十一")
      .set(kGroupNameSection, "2", "short")
      .commit());
  const MacroGroupList list = readGroupList(folders.macroFolder);
  EXPECT_EQ(list.names[0], "abcdefghijklmnopqrs");
  EXPECT_EQ(list.names[1], "一二三四五六七八九十一二三四五六七八九");
  EXPECT_EQ(list.names[2], "short");
}

TEST_F(LibraryTest, MissingGroupListLoadsEmpty) {
  const MacroPageView view = library.start(test::appIn(skins(), temp.path(), kEnglish));
  EXPECT_EQ(messages.texts.front(), kMsgGroupListMissing);
  EXPECT_EQ(view, MacroPageView{});
  EXPECT_EQ(library.openMacros().count, 0);
  EXPECT_FALSE(fs::exists(groupListPath(folders.macroFolder))) << "nothing to rewrite";
}

TEST_F(LibraryTest, NewGroupAndItsLimits) {
  makeLibrary({"A"});
  LibraryResult r = library.newGroup();
  EXPECT_EQ(r.outcome, LibraryOutcome::Done);
  EXPECT_EQ(r.view.groupNames, (std::vector<std::string>{"A", "New"}));
  EXPECT_EQ(r.view.currentGroup, 1);
  EXPECT_EQ(r.view.groupNameText, "New");
  EXPECT_TRUE(r.view.macroNames.empty());
  EXPECT_EQ(library.openMacros().count, 0);
  EXPECT_EQ(test::readText(folders.macroFolder / "New.dat"), "");
  EXPECT_EQ(listedNames(), (std::vector<std::string>{"A", "New"}));

  r = library.newGroup();
  EXPECT_EQ(r.outcome, LibraryOutcome::Refused);
  EXPECT_EQ(messages.texts, std::vector<std::string>{"'New' Double name!"});
  EXPECT_EQ(listedNames().size(), 2u);

  for (int i = 2; i < kMaxGroups; ++i) {
    library.renameGroup("G" + std::to_string(i));
    library.newGroup();
  }
  library.renameGroup("G10");
  ASSERT_EQ(library.groups().groupCount, kMaxGroups);
  messages.texts.clear();
  const auto before = treeOf(folders.macroFolder);
  EXPECT_EQ(library.newGroup().outcome, LibraryOutcome::Refused);
  EXPECT_EQ(library.importGroup(folders.macroFolder / "A.dat").outcome, LibraryOutcome::Refused);
  EXPECT_EQ(messages.texts, (std::vector<std::string>{kMsgMoreThanLimit, kMsgMoreThanLimit}));
  EXPECT_EQ(treeOf(folders.macroFolder), before);
  EXPECT_EQ(listedNames().size(), 10u);
}

TEST_F(LibraryTest, NewGroupWhoseFileCannotBeMadeIsNotListed) {
  makeLibrary({"A"});
  fs::create_directory(folders.macroFolder / "New.dat");
  const LibraryResult r = library.newGroup();
  EXPECT_EQ(r.outcome, LibraryOutcome::Failed);
  EXPECT_EQ(messages.texts, std::vector<std::string>{kMsgCreateGroupFileFailed});
  EXPECT_EQ(r.view.groupNames, std::vector<std::string>{"A"});
  EXPECT_EQ(listedNames(), std::vector<std::string>{"A"});
}

TEST_F(LibraryTest, DeleteOpensTheFirstGroupAndEmptiesAtTheEnd) {
  makeLibrary({"A", "B"});
  library.switchGroup(2);
  LibraryResult r = library.deleteGroup();
  EXPECT_FALSE(fs::exists(folders.macroFolder / "B.dat"));
  EXPECT_EQ(r.view.groupNames, std::vector<std::string>{"A"});
  EXPECT_EQ(r.view.macroNames, (std::vector<std::string>{"A1", "A2"}));
  EXPECT_EQ(r.view.macroNameText, "A1");

  r = library.deleteGroup();
  EXPECT_EQ(r.view, MacroPageView{});
  EXPECT_EQ(library.openMacros().count, 0);
  for (const Macro& slot : library.openMacros().slots) {
    EXPECT_EQ(slot, Macro{});
  }
  EXPECT_TRUE(listedNames().empty());
  EXPECT_EQ(library.deleteGroup().outcome, LibraryOutcome::Refused);
  EXPECT_TRUE(messages.texts.empty());
}

TEST_F(LibraryTest, RenameMovesTheFile) {
  makeLibrary({"A", "B"});
  const std::string content = test::readText(folders.macroFolder / "A.dat");
  const LibraryResult r = library.renameGroup("Renamed");
  EXPECT_EQ(r.outcome, LibraryOutcome::Done);
  EXPECT_EQ(r.view.groupNameText, "Renamed");
  EXPECT_FALSE(fs::exists(folders.macroFolder / "A.dat"));
  EXPECT_EQ(test::readText(folders.macroFolder / "Renamed.dat"), content);
  EXPECT_EQ(listedNames(), (std::vector<std::string>{"Renamed", "B"}));
  EXPECT_TRUE(messages.texts.empty());

  // A 19-character name is the longest the box takes and comes back at the next start.
  const std::string nineteen = "名字有十九个字符长度的宏组名称名称名称";
  ASSERT_EQ(text::utf16Length(nineteen), kGroupNameMaxUnits);
  EXPECT_EQ(library.renameGroup(nineteen).outcome, LibraryOutcome::Done);
  EXPECT_EQ(library.renameGroup(nineteen + "x").outcome, LibraryOutcome::Refused);
  MacroLibrary again(messages);
  EXPECT_EQ(again.start(test::appIn(skins(), temp.path(), kEnglish)).groupNames, (std::vector<std::string>{nineteen, "B"}));
}

TEST_F(LibraryTest, RenameRefusalsPutTheNameBack) {
  makeLibrary({"A", "B"});
  for (const std::string& text : {std::string(), std::string(" "), std::string("A"), std::string("B")}) {
    const LibraryResult r = library.renameGroup(text);
    EXPECT_EQ(r.outcome, LibraryOutcome::Refused) << '"' << text << '"';
    EXPECT_EQ(r.view.groupNameText, "A");
  }
  EXPECT_TRUE(messages.texts.empty());
  EXPECT_EQ(listedNames(), (std::vector<std::string>{"A", "B"}));
}

TEST_F(LibraryTest, UnsafeNamesNeverReachAFile) {
  makeLibrary({"A"});
  fs::create_directories(temp / "outside");
  const auto before = treeOf(temp.path());
  const std::vector<std::string> unsafe = {
      "../x", "../../outside/x", "a/b", "a\\b", "..", "x..y", "/abs", "tab\tname", "line\nbreak",
      std::string("nul\0x", 5), " lead", "trail ", "dot.", "con", "Nul.txt", "COM1", "'quoted'",
      "a:b", "a*b", "a?b", "a|b", "a<b", "a\"b", "\xC2\x85", "\xFF\xFE"};
  for (const std::string& name : unsafe) {
    messages.texts.clear();
    const LibraryResult r = library.renameGroup(name);
    EXPECT_EQ(r.outcome, LibraryOutcome::Refused) << name;
    EXPECT_EQ(r.view.groupNameText, "A") << name;
    EXPECT_EQ(messages.texts, std::vector<std::string>{kMsgInvalidGroupName}) << name;
    EXPECT_FALSE(groupFilePath(folders.macroFolder, name).has_value()) << name;
  }
  EXPECT_EQ(treeOf(temp.path()), before);
  EXPECT_EQ(listedNames(), std::vector<std::string>{"A"});
  // Names that only look odd are fine.
  for (const char* name : {"a.b", "x-y_z (2)", "宏 组", "con2", "'half"}) {
    EXPECT_EQ(checkGroupName(name), GroupNameCheck::Ok) << name;
  }
}

TEST_F(LibraryTest, RenameWithoutTheOldFileOrWhenTheCopyFails) {
  makeLibrary({"A", "B"});
  fs::remove(folders.macroFolder / "A.dat");
  LibraryResult r = library.renameGroup("C");
  EXPECT_EQ(r.outcome, LibraryOutcome::Done);
  EXPECT_EQ(messages.texts, std::vector<std::string>{kMsgGroupFileNotFound});
  EXPECT_EQ(listedNames(), (std::vector<std::string>{"C", "B"}));

  library.switchGroup(2);
  messages.texts.clear();
  fs::create_directory(folders.macroFolder / "blocked.dat");
  r = library.renameGroup("blocked");
  EXPECT_EQ(r.outcome, LibraryOutcome::Failed);
  // The name is fine: what failed is the write, and the message says so.
  EXPECT_EQ(messages.texts, std::vector<std::string>{std::string(kMsgRenameCopyFailed) + "\n" +
                                                     (folders.macroFolder / "blocked.dat").string()});
  EXPECT_EQ(r.view.groupNameText, "B");
  EXPECT_EQ(listedNames(), (std::vector<std::string>{"C", "B"}));
  EXPECT_TRUE(fs::exists(folders.macroFolder / "B.dat"));
}

TEST_F(LibraryTest, SwitchSavesTheEditedMacroFirst) {
  makeLibrary({"A", "B"});
  OpenGroup& open = library.openMacros();
  open.current = 1;
  setMacroName(open.slots[1], "edited");
  LibraryResult r = library.switchGroup(2);
  EXPECT_EQ(r.view.groupNameText, "B");
  EXPECT_EQ(r.view.macroNames, (std::vector<std::string>{"B1", "B2"}));
  EXPECT_EQ(r.view.currentMacro, 0);
  EXPECT_EQ(macroName(readMacro(folders.macroFolder, 0, 1)), "edited");

  EXPECT_EQ(library.switchGroup(3).outcome, LibraryOutcome::Refused);
  EXPECT_EQ(library.switchGroup(0).outcome, LibraryOutcome::Refused);
  EXPECT_EQ(library.view().groupNameText, "B");
}

TEST_F(LibraryTest, EveryCommandThatLeavesTheOpenGroupSavesItsEditFirst) {
  writeGroup(temp.path(), "Outside", {"o1"});
  const std::vector<std::pair<const char*, std::function<LibraryResult(MacroLibrary&)>>> commands = {
      {"switch", [](MacroLibrary& l) { return l.switchGroup(2); }},
      {"new group", [](MacroLibrary& l) { return l.newGroup(); }},
      {"import", [this](MacroLibrary& l) { return l.importGroup(temp / "Outside.dat"); }},
  };
  for (const auto& [what, command] : commands) {
    fs::remove_all(folders.macroFolder);
    fs::create_directories(folders.macroFolder);
    makeLibrary({"A", "B"});
    OpenGroup& open = library.openMacros();
    open.current = 1;
    open.slots[1].events[0].delay = 444;  // not saved yet
    EXPECT_EQ(command(library).outcome, LibraryOutcome::Done) << what;
    EXPECT_EQ(readMacro(folders.macroFolder, 0, 1).events[0].delay, 444) << what;
    EXPECT_TRUE(messages.texts.empty()) << what;
  }
}

TEST_F(LibraryTest, ImportAndExportAskForNoFileTheyCannotTake) {
  makeLibrary({});
  EXPECT_FALSE(library.mayExport());
  EXPECT_TRUE(library.mayImport());
  EXPECT_EQ(messages.texts, std::vector<std::string>{kMsgLibraryError});
  messages.texts.clear();
  makeLibrary({"A", "B", "C", "D", "E", "F", "G", "H", "I", "J"});
  EXPECT_FALSE(library.mayImport());
  EXPECT_TRUE(library.mayExport());
  EXPECT_EQ(messages.texts, std::vector<std::string>{kMsgMoreThanLimit});
}

TEST_F(LibraryTest, ImportAddsAGroupNamedAfterTheFile) {
  makeLibrary({"A"});
  fs::create_directories(temp / "elsewhere");
  writeGroup(temp / "elsewhere", "abc", {"x", "y", "z"});
  LibraryResult r = library.importGroup(temp / "elsewhere" / "abc.dat");
  EXPECT_EQ(r.outcome, LibraryOutcome::Done);
  EXPECT_EQ(r.view.groupNames, (std::vector<std::string>{"A", "abc"}));
  EXPECT_EQ(r.view.currentGroup, 1);
  EXPECT_EQ(r.view.macroNames, (std::vector<std::string>{"x", "y", "z"}));
  EXPECT_EQ(test::readText(folders.macroFolder / "abc.dat"), test::readText(temp / "elsewhere" / "abc.dat"));
  EXPECT_TRUE(messages.texts.empty());

  // A second abc.dat, from anywhere, is a double name and leaves the open group alone.
  library.openMacros().slots[0].loopCount = 42;
  r = library.importGroup(temp / "elsewhere" / "abc.dat");
  EXPECT_EQ(r.outcome, LibraryOutcome::Refused);
  EXPECT_EQ(library.openMacros().slots[0].loopCount, 42);

  test::writeText(temp / "elsewhere" / "abc.txt", "[Macros]\nmacroNum=0\n");
  test::writeText(temp / "elsewhere" / ".dat", "");
  test::writeText(temp / "elsewhere" / "UPPER.DAT", "");
  library.importGroup(temp / "elsewhere" / "abc.txt");
  library.importGroup(temp / "elsewhere" / ".dat");
  library.importGroup(temp / "elsewhere" / "UPPER.DAT");
  EXPECT_EQ(messages.texts, (std::vector<std::string>{kMsgDoubleName, kMsgLibraryError, kMsgLibraryError,
                                                      kMsgLibraryError}));
  EXPECT_EQ(listedNames().size(), 2u);
}

TEST_F(LibraryTest, ImportCopiesIntoTheGroupsOwnFile) {
  makeLibrary({"A"});
  writeGroup(temp.path(), "old", {"kept"});
  fs::rename(temp / "old.dat", temp / "old.dat.bak");
  const LibraryResult r = library.importGroup(temp / "old.dat.bak");
  EXPECT_EQ(r.view.groupNames, (std::vector<std::string>{"A", "old"}));
  EXPECT_EQ(r.view.macroNames, std::vector<std::string>{"kept"});
  EXPECT_TRUE(fs::exists(folders.macroFolder / "old.dat"));

  // A file name that is no safe group name is refused before anything is copied.
  writeGroup(temp.path(), " lead", {"x"});
  messages.texts.clear();
  EXPECT_EQ(library.importGroup(temp / " lead.dat").outcome, LibraryOutcome::Refused);
  EXPECT_EQ(messages.texts, std::vector<std::string>{kMsgInvalidGroupName});
  EXPECT_FALSE(fs::exists(folders.macroFolder / " lead.dat"));
}

TEST_F(LibraryTest, ExportWritesTheGroupAsItIsInMemory) {
  makeLibrary({"A"});
  setMacroName(library.openMacros().slots[0], "unsaved");
  const fs::path target = temp / "out.dat";
  test::writeText(target, "[Macros]\nmacroNum=5\n4=stale\n");
  EXPECT_EQ(library.exportGroup(target).outcome, LibraryOutcome::Done);
  OpenGroup back;
  readGroupFile(target, back, messages);
  EXPECT_EQ(back.count, 2);
  EXPECT_EQ(macroName(back.slots[0]), "unsaved");
  EXPECT_EQ(ini::readString(target, "Macros", "4", "", 10), "");
  EXPECT_EQ(macroName(readMacro(folders.macroFolder, 0, 0)), "A1") << "the group file itself is not written";

  library.deleteGroup();
  EXPECT_EQ(library.exportGroup(temp / "none.dat").outcome, LibraryOutcome::Refused);
  EXPECT_EQ(messages.texts, std::vector<std::string>{kMsgLibraryError});
  EXPECT_FALSE(fs::exists(temp / "none.dat"));
}

TEST_F(LibraryTest, RestoreReplacesOnlyTheMacroFolderContent) {
  writeGroup(folders.resetFolder, "Factory", {"f1"});
  listGroups(folders.resetFolder, {"Factory"});
  test::writeText(folders.resetFolder / "sub" / "deep" / "note.txt", "nested");
  makeLibrary({"Mine"});
  test::writeText(folders.macroFolder / "stray" / "junk.txt", "junk");
  test::writeText(temp / "outside" / "precious.txt", "keep");
  fs::create_directory_symlink(temp / "outside", folders.macroFolder / "link");

  const LibraryResult r = library.restoreFactorySet();
  EXPECT_EQ(r.outcome, LibraryOutcome::Done);
  EXPECT_EQ(treeOf(folders.macroFolder), treeOf(folders.resetFolder));
  EXPECT_EQ(test::readText(folders.macroFolder / "sub" / "deep" / "note.txt"), "nested");
  EXPECT_EQ(test::readText(temp / "outside" / "precious.txt"), "keep") << "a link is removed, not followed";
  EXPECT_EQ(r.view.groupNames, std::vector<std::string>{"Factory"});
  EXPECT_EQ(r.view.macroNames, std::vector<std::string>{"f1"});
}

// Every file of the tree with its bytes.
std::map<std::string, std::string> contentsOf(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    files[fs::relative(entry.path(), root).string()] = entry.is_regular_file() ? test::readText(entry.path()) : "<dir>";
  }
  return files;
}

TEST_F(LibraryTest, AGroupListThatCannotBeWrittenUndoesEveryOperation) {
  // macroGrp.ini read-only: every operation that must change the list fails, says so, and
  // leaves the files and the page as they were; a renamed file never drops out of the list.
  struct Case {
    const char* name;
    std::function<LibraryResult(MacroLibrary&, const fs::path&)> run;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"new", [](MacroLibrary& l, const fs::path&) { return l.newGroup(); }, kMsgLibraryError},
      {"rename", [](MacroLibrary& l, const fs::path&) { return l.renameGroup("Renamed"); }, kMsgLibraryError},
      {"delete", [](MacroLibrary& l, const fs::path&) { return l.deleteGroup(); }, kMsgLibraryError},
      {"import", [](MacroLibrary& l, const fs::path& chosen) { return l.importGroup(chosen); }, kMsgLibraryError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(folders.macroFolder);
    fs::create_directories(folders.macroFolder);
    makeLibrary({"A", "B"});
    library.switchGroup(2);
    writeGroup(temp.path(), "Imported", {"i1"});
    ::chmod(groupListPath(folders.macroFolder).c_str(), 0444);
    const auto before = contentsOf(folders.macroFolder);
    const MacroPageView view = library.view();
    messages.texts.clear();

    const LibraryResult r = c.run(library, temp / "Imported.dat");
    EXPECT_EQ(r.outcome, LibraryOutcome::Failed);
    EXPECT_EQ(messages.texts, std::vector<std::string>{c.message});
    EXPECT_EQ(r.view, view);
    EXPECT_EQ(contentsOf(folders.macroFolder), before);
    ::chmod(groupListPath(folders.macroFolder).c_str(), 0644);
  }
}

TEST_F(LibraryTest, AnEditThatCannotBeSavedIsSaidAndKeepsItsGroupOpen) {
  // The open group's file read-only (as a full disk refuses it): every command that would open
  // another group says "Error!" with the file, and leaves the group open with the edit in memory.
  writeGroup(temp.path(), "Outside", {"o1"});
  const MacroFolders chinese = MacroFolders::of(skins(), kChinese);
  fs::create_directories(chinese.macroFolder);
  writeGroup(chinese.macroFolder, "中文", {"宏"});
  listGroups(chinese.macroFolder, {"中文"});
  const std::vector<std::pair<const char*, std::function<LibraryResult(MacroLibrary&)>>> commands = {
      {"switch", [](MacroLibrary& l) { return l.switchGroup(2); }},
      {"new group", [](MacroLibrary& l) { return l.newGroup(); }},
      {"import", [this](MacroLibrary& l) { return l.importGroup(temp / "Outside.dat"); }},
      {"language", [this](MacroLibrary& l) { return l.changeLanguage(test::appIn(skins(), temp.path(), kChinese)); }},
  };
  for (const auto& [what, command] : commands) {
    SCOPED_TRACE(what);
    fs::remove_all(folders.macroFolder);
    fs::create_directories(folders.macroFolder);
    makeLibrary({"A", "B"});
    OpenGroup& open = library.openMacros();
    open.current = 1;
    setMacroName(open.slots[1], "edited");
    const fs::path file = folders.macroFolder / "A.dat";
    ::chmod(file.c_str(), 0444);
    const auto before = contentsOf(folders.macroFolder);

    const LibraryResult r = command(library);
    EXPECT_EQ(r.outcome, LibraryOutcome::Failed);
    EXPECT_EQ(messages.texts, std::vector<std::string>{saveFailedMessage(file)});
    EXPECT_EQ(r.view.groupNameText, "A");
    EXPECT_EQ(r.view.macroNames, (std::vector<std::string>{"A1", "edited"}));
    EXPECT_EQ(library.folders().macroFolder, folders.macroFolder);
    EXPECT_EQ(contentsOf(folders.macroFolder), before) << "nothing written, nothing listed";

    // Once the file can be written the same command keeps the edit and goes on.
    ::chmod(file.c_str(), 0644);
    messages.texts.clear();
    EXPECT_EQ(command(library).outcome, LibraryOutcome::Done);
    EXPECT_EQ(macroName(readMacro(folders.macroFolder, 0, 1)), "edited");
    EXPECT_TRUE(messages.texts.empty());
    library.changeLanguage(test::appIn(skins(), temp.path(), kEnglish));
  }
}

TEST_F(LibraryTest, ARestoreThatCannotCopyEverythingLeavesTheLibrary) {
  writeGroup(folders.resetFolder, "Factory", {"f1"});
  listGroups(folders.resetFolder, {"Factory"});
  // A factory file too large to be read: its copy fails after the others were made.
  {
    std::ofstream huge(folders.resetFolder / "zz.dat", std::ios::binary);
  }
  fs::resize_file(folders.resetFolder / "zz.dat", fileio::kMaxReadBytes + 1);
  makeLibrary({"Mine", "Yours"});
  const auto before = contentsOf(folders.macroFolder);
  const auto entriesBeside = [&] {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folders.macroFolder.parent_path())) {
      names.insert(e.path().filename().string());
    }
    return names;
  };
  const std::set<std::string> siblings = entriesBeside();

  const LibraryResult r = library.restoreFactorySet();
  EXPECT_EQ(r.outcome, LibraryOutcome::Failed);
  EXPECT_EQ(messages.texts, std::vector<std::string>{kMsgLibraryError});
  EXPECT_EQ(contentsOf(folders.macroFolder), before);
  EXPECT_EQ(r.view.groupNames, (std::vector<std::string>{"Mine", "Yours"}));
  EXPECT_EQ(entriesBeside(), siblings) << "no staged copy is left";

  // Once the factory set can be read, the restore swaps it in and leaves nothing beside it; a
  // staged copy that a killed restore left is removed on the way.
  fs::remove(folders.resetFolder / "zz.dat");
  const pid_t gone = test::endedPid();
  const fs::path leftover = folders.macroFolder.parent_path() / (".macro.tmp" + std::to_string(gone) + "-0");
  test::writeText(leftover / "Half.dat", "half");
  messages.texts.clear();
  EXPECT_EQ(library.restoreFactorySet().outcome, LibraryOutcome::Done);
  EXPECT_TRUE(messages.texts.empty());
  EXPECT_EQ(contentsOf(folders.macroFolder), contentsOf(folders.resetFolder));
  EXPECT_FALSE(fs::exists(leftover));
  EXPECT_EQ(entriesBeside(), siblings);
}

TEST_F(LibraryTest, TheNextStartRemovesTheCopyOfARestoreThatWasKilled) {
  // The hidden copy a restore stages beside the library, left by a process that is gone; the
  // copy of one still running (this one's parent) is left to it.
  makeLibrary({"A"});
  const pid_t child = test::endedPid();
  ASSERT_GT(child, 0);
  const fs::path parent = folders.macroFolder.parent_path();
  const fs::path dead = parent / (".macro.tmp" + std::to_string(child) + "-0");
  const fs::path alive = parent / (".macro.tmp" + std::to_string(::getppid()) + "-1");
  for (const fs::path& copy : {dead, alive}) {
    fs::create_directories(copy);
    writeGroup(copy, "A", {"a"});
  }
  ASSERT_TRUE(fileio::isOurTemporaryName(dead.filename().string()));
  library.start(test::appIn(skins(), temp.path(), kEnglish));
  EXPECT_FALSE(fs::exists(dead));
  EXPECT_TRUE(fs::exists(alive));
  // A library that only reads (quilletctl plan) writes nothing, not even that.
  fs::create_directories(dead);
  MacroLibrary readOnly(messages, LibraryFiles::ReadOnly);
  readOnly.start(test::appIn(skins(), temp.path(), kEnglish));
  EXPECT_TRUE(fs::exists(dead));
}

TEST_F(LibraryTest, RestoreWithoutAFactorySetDeletesNothing) {
  makeLibrary({"Mine"});
  fs::remove_all(folders.resetFolder);
  const auto before = treeOf(folders.macroFolder);
  EXPECT_EQ(library.restoreFactorySet().outcome, LibraryOutcome::Failed);
  EXPECT_EQ(treeOf(folders.macroFolder), before);
  EXPECT_EQ(messages.texts, std::vector<std::string>{kMsgLibraryError});
}

TEST_F(LibraryTest, LanguageChangeSavesTheEditedMacroAndLoadsTheOtherLibrary) {
  makeLibrary({"A"});
  const MacroFolders chinese = MacroFolders::of(skins(), kChinese);
  fs::create_directories(chinese.macroFolder);
  writeGroup(chinese.macroFolder, "中文", {"宏"});
  listGroups(chinese.macroFolder, {"中文"});
  setMacroName(library.openMacros().slots[0], "edited");

  const MacroPageView view = library.changeLanguage(test::appIn(skins(), temp.path(), kChinese)).view;
  EXPECT_EQ(view.groupNames, std::vector<std::string>{"中文"});
  EXPECT_EQ(view.macroNames, std::vector<std::string>{"宏"});
  EXPECT_EQ(library.macroNames().groups[0].names[0], "宏");
  EXPECT_EQ(macroName(readMacro(folders.macroFolder, 0, 0)), "edited");
}

// The name of the macro a button's code plays, as the buttons page shows it; "" for none.
std::string macroOfButton(const MacroLibrary& library, ButtonFunction code) {
  if (!function_code::isLibraryMacro(code) || !libraryMacroExists(library.groups(), library.macroNames(), code)) {
    return "";
  }
  return library.macroNames()
      .groups[static_cast<std::size_t>(function_code::macroGroup(code) - 1)]
      .names[static_cast<std::size_t>(function_code::macroIndex(code))];
}

TEST_F(LibraryTest, ButtonsKeepTheirMacrosThroughRandomDeletions) {
  // Property: whatever groups and macros are deleted, every button of every profile plays the
  // macro it was given (names are unique in this library), or nothing once that macro is gone.
  std::mt19937 random(23);
  for (int round = 0; round < 30; ++round) {
    SCOPED_TRACE(round);
    fs::remove_all(folders.macroFolder);
    fs::create_directories(folders.macroFolder);
    std::vector<std::string> groups;
    for (int g = 0; g < 5; ++g) {
      const std::string name = "G" + std::to_string(g);
      std::vector<std::string> macros;
      for (int k = 0; k < 4; ++k) {
        macros.push_back(name + "m" + std::to_string(k));
      }
      writeGroup(folders.macroFolder, name, macros);
      groups.push_back(name);
    }
    listGroups(folders.macroFolder, groups);
    library.start(test::appIn(skins(), temp.path(), kEnglish));
    messages.texts.clear();  // constMacro.dat is absent here
    GroupEditor editor(library, messages);
    ProfileSettings settings;
    std::map<std::pair<int, int>, std::string> given;  // (profile, button) -> macro name
    for (int p = 0; p < kProfileCount; ++p) {
      for (int b = 0; b < kButtonCount; ++b) {
        const ButtonFunction code = random() % 3 == 0 ? static_cast<ButtonFunction>(random() % 40)
                                                        : function_code::libraryMacro(1 + random() % 5, random() % 4);
        settings.buttonFunction[p][b] = code;
        given[{p, b}] = macroOfButton(library, code);
      }
    }
    for (int step = 0; step < 4; ++step) {
      const int group = static_cast<int>(random() % library.groups().groupCount);
      library.switchGroup(group + 1);
      editor.macroShown();
      std::string deleted;
      if (random() % 2 == 0) {
        for (int k = 0; k < library.openMacros().count; ++k) {
          deleted += "|" + macroName(library.openMacros().slots[static_cast<std::size_t>(k)]);
        }
        ASSERT_EQ(library.deleteGroup().outcome, LibraryOutcome::Done);
        settings.followDeletedGroup(group);
      } else if (library.openMacros().count > 0) {
        const int index = static_cast<int>(random() % library.openMacros().count);
        ASSERT_TRUE(editor.selectMacro(index));
        deleted = "|" + macroName(library.openMacros().slots[static_cast<std::size_t>(index)]);
        ASSERT_TRUE(editor.deleteMacro());
        library.readMacroNames();
        settings.followDeletedMacro(group, index);
      }
      deleted += "|";
      for (auto& [where, name] : given) {
        if (!name.empty() && deleted.find("|" + name + "|") != std::string::npos) {
          name.clear();
        }
        const ButtonFunction code = settings.buttonFunction[where.first][where.second];
        EXPECT_EQ(macroOfButton(library, code), name) << where.first << "," << where.second;
        if (name.empty() && function_code::isLibraryMacro(code)) {
          ADD_FAILURE() << "a button on a deleted macro keeps a code: " << code;
        }
      }
      if (library.groups().groupCount == 0) {
        break;
      }
    }
  }
  EXPECT_TRUE(messages.texts.empty());
}

TEST_F(LibraryTest, ReadMacroFindsOneMacroOrNone) {
  makeLibrary({"A", "B"});
  EXPECT_EQ(macroName(readMacro(folders.macroFolder, 1, 1)), "B2");
  EXPECT_EQ(macroName(readLibraryMacro(folders.macroFolder, function_code::libraryMacro(1, 0))), "A1");
  EXPECT_EQ(readMacro(folders.macroFolder, 2, 0), Macro{});
  EXPECT_EQ(readMacro(folders.macroFolder, 0, 2), Macro{});
  EXPECT_EQ(readMacro(folders.macroFolder, -1, 0), Macro{});
  EXPECT_EQ(readLibraryMacro(folders.macroFolder, 33), Macro{});
  fs::remove(folders.macroFolder / "B.dat");
  EXPECT_EQ(readMacro(folders.macroFolder, 1, 0), Macro{});

  const MacroNameTable& names = library.macroNames();
  EXPECT_EQ(names.groups[0].count, 2);
  EXPECT_EQ(names.groups[1].names[1], "B2");
  const MacroGroupList& list = library.groups();
  EXPECT_TRUE(libraryMacroExists(list, names, function_code::libraryMacro(2, 1)));
  EXPECT_FALSE(libraryMacroExists(list, names, function_code::libraryMacro(2, 2)));
  EXPECT_FALSE(libraryMacroExists(list, names, function_code::libraryMacro(3, 0)));
  EXPECT_FALSE(libraryMacroExists(list, names, 33));
}

}  // namespace
}  // namespace quillet
