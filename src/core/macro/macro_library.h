#pragma once
// The macro library of the current language: its group list, the open group, the macro-name
// table of the macro menus and the built-in macros, with the group operations of the macro
// page (new, delete, rename, switch, import, export, restore the factory set).
//
// Each operation shows the system's messages through the message service and answers with
// what the macro page must show afterwards, so that the page only puts a view into its
// widgets. File dialogs are the page's: import and export are given the chosen path.
//
// A MacroLibrary belongs to the user-interface thread. Device threads read macros with
// readMacro (group_list.h), which touches only the files.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/io/messages.h"
#include "core/macro/group_list.h"
#include "core/macro/macro_record.h"
#include "core/settings/app_state.h"

namespace quillet {

class MessageService;

inline constexpr const char* kBuiltinMacroFileName = "constMacro.dat";
inline constexpr const char* kNewGroupName = "New";

inline constexpr const char* kMsgGroupListMissing = "Can't find the file.";
inline constexpr const char* kMsgMoreThanLimit = "More than limit!";
inline constexpr const char* kMsgDoubleName = "Double name!";
inline constexpr const char* kMsgDoubleNameQuotedEnd = "' Double name!";  // after "'" and the name
inline constexpr const char* kMsgLibraryError = kMsgError;
inline constexpr const char* kMsgCreateGroupFileFailed = "Create new mac_file Fail!";
inline constexpr const char* kMsgGroupFileNotFound = "not find File!";
inline constexpr const char* kMsgInvalidGroupName = "Invalid: Delete Invalid character";
// A rename whose copy under the new name could not be written (a full disk, a read-only folder).
inline constexpr const char* kMsgRenameCopyFailed = "Error! The group file could not be written under its new name:";

// The main window's private messages from the group popups: switch to a group (wParam the
// group that was open, lParam the macro being edited), and the import / export / restore menu.
constexpr unsigned kMsgSwitchGroup = 0x7EA;
constexpr unsigned kMsgGroupFileCommand = 0x7EB;
enum class GroupFileCommand : std::uint8_t { Import = 1, Export = 2, RestoreFactorySet = 3 };

// What the macro page shows.
struct MacroPageView {
  std::vector<std::string> groupNames;  // the group popup's items, in index order
  int currentGroup = -1;                // -1: no groups
  std::string groupNameText;            // the group-name box
  std::vector<std::string> macroNames;  // the macro list: the open group's macros
  int currentMacro = -1;                // -1: the open group has no macros
  std::string macroNameText;            // the macro-name box
  bool operator==(const MacroPageView&) const = default;
};

// Whether the library may write its files. A read-only library (quilletctl plan) loads as the
// utility does but keeps macroGrp.ini as it is when it lists groups it drops.
enum class LibraryFiles : std::uint8_t { ReadWrite, ReadOnly };

enum class LibraryOutcome : std::uint8_t {
  Done,     // the operation ran (it may have shown a message on the way, as the rename does)
  Refused,  // nothing changed: a limit, a name or the state refused it
  Failed,   // a file could not be written; the library is as it was before the operation
};

struct LibraryResult {
  LibraryOutcome outcome = LibraryOutcome::Done;
  MacroPageView view;
};

class MacroLibrary {
 public:
  explicit MacroLibrary(MessageService& messages, LibraryFiles files = LibraryFiles::ReadWrite);

  // Start-up, once the language is known: the folders of app.language (the library in
  // app.dataFolder, the factory set in app.skinFolder), the group list, the first group and the
  // name table, and the built-in macros from app.appFolder / constMacro.dat.
  MacroPageView start(const AppState& app);
  // A language change to app.language: the macro being edited is written into its group file,
  // then the other language's library is loaded. When that write fails the user is told
  // ("Error!" and the file) and nothing is loaded: Failed, the edits stay in memory.
  LibraryResult changeLanguage(const AppState& app);

  void setFolders(const AppState& app);
  // Reads macroGrp.ini ("Can't find the file." when it is missing) and drops every listed group
  // whose file is missing, whose name is not a safe file name, or which is listed twice; the
  // others move up in order and macroGrp.ini is rewritten. currentGroup becomes 0.
  void loadGroupList();
  [[nodiscard]] bool saveGroupList();
  // Whether group `index`'s file exists; with `load` the open group is emptied and the file
  // read into it.
  bool openGroup(int index, bool load);
  // Re-reads the macro-name table of the listed groups.
  void readMacroNames();
  // The page after a rebuild: the first macro of the open group becomes current.
  MacroPageView refreshMacroPage();
  MacroPageView view() const;
  // Makes macro `index` of the open group current (a selection in the macro list).
  MacroPageView selectMacro(int index);
  // Writes the macro being edited into the open group's file (macroNum and its key); the macro
  // menus' name table follows. False when that write failed (the file is then as it was); true
  // when it succeeded or there is no macro being edited.
  [[nodiscard]] bool saveCurrentMacro();
  // saveCurrentMacro, and a failed write is said: "Error!" and the group file's path.
  bool saveCurrentMacroOrSay();
  // Writes the whole open group into its file, as it is in memory (macroNum and keys 0..count-1,
  // nothing left of earlier saves); the name table follows.
  [[nodiscard]] bool saveOpenGroup();
  // saveOpenGroup, and a failed write is said as saveCurrentMacroOrSay says it.
  bool saveOpenGroupOrSay();
  // The file of the open group, when a group is open.
  std::optional<std::filesystem::path> openGroupFile() const;

  // Whether an import may ask for its file: "More than limit!" with 10 groups.
  bool mayImport();
  // Whether an export may ask for its file: "Error!" without groups.
  bool mayExport();

  // "More than limit!" with 10 groups; "'New' Double name!" when a group New exists;
  // otherwise the macro being edited is saved and a group New with an empty file opens empty.
  // The file is made before the list names it: "Create new mac_file Fail!" when it cannot be
  // made, "Error!" when the list cannot be written (the file is removed again); nothing changes
  // then.
  LibraryResult newGroup();
  // Deletes the open group and its file and opens the first group. No confirmation. The list is
  // written first; "Error!" when it cannot be, and the group and its file stay.
  LibraryResult deleteGroup();
  // Renames the open group and its file. An empty name, " " or a listed name is refused
  // silently (the view gives the box the current name back), as is a name longer than the box
  // takes; a name that is not a safe file name is refused with "Invalid: Delete Invalid
  // character". The page calls this when editing the box ends, so the file is renamed once.
  // The file is copied under the new name before the list names it and the old file goes only
  // after: a failed copy says what failed (kMsgRenameCopyFailed and the file), a list that cannot be written
  // "Error!", and both leave the group under its old name with its file.
  LibraryResult renameGroup(std::string_view text);
  // Item `item` (1..groupCount) of the group popup: the macro being edited is written into the
  // group that was open, then the chosen group opens. Items beyond the list do nothing.
  //
  // Every operation that opens another group (switch, new, import, the language change) writes
  // the macro being edited first; when that write fails it says so ("Error!" and the file) and
  // answers Failed with the open group as it was, edits included.
  LibraryResult switchGroup(int item);
  // Adds the chosen file as a group named after it (the file name before its first ".dat"),
  // after the macro being edited is saved into its own group.
  LibraryResult importGroup(const std::filesystem::path& chosen);
  // Writes the open group as it is in memory, unsaved edits included, into `target`.
  LibraryResult exportGroup(const std::filesystem::path& target);
  // Replaces the macro folder's content with the factory set: the copy is made beside the
  // folder and swapped in whole. "Error!" when it cannot be made (the library stays as it was).
  LibraryResult restoreFactorySet();

  const MacroFolders& folders() const { return folders_; }
  const MacroGroupList& groups() const { return list_; }
  const OpenGroup& openMacros() const { return open_; }
  OpenGroup& openMacros() { return open_; }
  const MacroNameTable& macroNames() const { return names_; }
  const BuiltinMacros& builtins() const { return builtins_; }
  // The file of listed group `index`, when the index is listed.
  std::optional<MacroGroup> group(int index) const;

 private:
  LibraryResult result(LibraryOutcome outcome) const { return LibraryResult{outcome, view()}; }
  void openCurrentOrClear();
  // The name table's entry of the open group, from the macros in memory (after a save).
  void namesFollowOpenGroup();
  void saySaveFailed();

  MessageService& messages_;
  LibraryFiles files_;
  MacroFolders folders_;
  MacroGroupList list_;
  OpenGroup open_;
  MacroNameTable names_;
  BuiltinMacros builtins_;
};

}  // namespace quillet
