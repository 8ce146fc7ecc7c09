#include "core/macro/macro_library.h"

#include <algorithm>
#include <system_error>

#include "core/io/file_io.h"
#include "core/io/messages.h"
#include "core/macro/macro_file.h"

namespace quillet {
namespace fs = std::filesystem;

namespace {

bool isFile(const fs::path& file) {
  std::error_code ec;
  return fs::is_regular_file(file, ec);
}

// A copy through the atomic writer: the target is either its old self or the whole source.
bool copyFile(const fs::path& from, const fs::path& to) {
  const std::optional<std::string> bytes = fileio::readFile(from);
  return bytes && fileio::writeFileAtomic(to, *bytes);
}

void removeQuietly(const fs::path& file) {
  std::error_code ec;
  fs::remove(file, ec);
}

}  // namespace


MacroLibrary::MacroLibrary(MessageService& messages, LibraryFiles files) : messages_(messages), files_(files) {}

MacroPageView MacroLibrary::start(const AppState& app) {
  setFolders(app);
  if (files_ == LibraryFiles::ReadWrite) {
    // A restore killed part-way leaves its hidden copy of the whole library beside it.
    fileio::removeStaleTemporaryFolders(folders_.macroFolder.parent_path());
  }
  loadGroupList();
  openCurrentOrClear();
  readMacroNames();
  readBuiltinMacros(app.appFolder / kBuiltinMacroFileName, builtins_, messages_);
  return refreshMacroPage();
}

LibraryResult MacroLibrary::changeLanguage(const AppState& app) {
  if (!saveCurrentMacroOrSay()) {
    return result(LibraryOutcome::Failed);
  }
  setFolders(app);
  loadGroupList();
  openCurrentOrClear();
  readMacroNames();
  refreshMacroPage();
  return result(LibraryOutcome::Done);
}

void MacroLibrary::setFolders(const AppState& app) {
  folders_ = MacroFolders::of(app.dataFolder, app.skinFolder, app.language);
}

void MacroLibrary::loadGroupList() {
  if (!isFile(groupListPath(folders_.macroFolder))) {
    messages_.show(kMsgGroupListMissing);
  }
  const MacroGroupList listed = readGroupList(folders_.macroFolder);
  MacroGroupList kept;
  for (int i = 0; i < listed.groupCount; ++i) {
    const std::string& name = listed.names[i];
    const std::optional<fs::path> file = groupFilePath(folders_.macroFolder, name);
    if (!file || !isFile(*file) || kept.find(name) >= 0) {
      continue;  // dropped: the later groups move up
    }
    kept.names[kept.groupCount++] = name;
  }
  const bool dropped = kept.groupCount != listed.groupCount;
  list_ = kept;
  if (dropped && files_ == LibraryFiles::ReadWrite) {
    // A list that cannot be rewritten now keeps naming the groups that are gone, and they are
    // dropped again at the next start: nothing is lost, and nobody waits on this tidy-up.
    static_cast<void>(saveGroupList());
  }
}

bool MacroLibrary::saveGroupList() { return writeGroupList(folders_.macroFolder, list_); }

std::optional<MacroGroup> MacroLibrary::group(int index) const {
  if (index < 0 || index >= list_.groupCount) {
    return std::nullopt;
  }
  const std::optional<fs::path> file = groupFilePath(folders_.macroFolder, list_.names[index]);
  if (!file) {
    return std::nullopt;
  }
  return MacroGroup{list_.names[index], *file};
}

bool MacroLibrary::openGroup(int index, bool load) {
  const std::optional<MacroGroup> g = group(index);
  const bool exists = g && isFile(g->file);
  if (load) {
    // Slots past the group's macros are blank, not left from the group open before.
    clearAllSlots(open_);
    open_.current = 0;
    if (g) {
      readGroupFile(g->file, open_, messages_);
    }
  }
  return exists;
}

void MacroLibrary::openCurrentOrClear() {
  if (list_.groupCount > 0) {
    openGroup(list_.currentGroup, true);
  } else {
    clearAllSlots(open_);
    open_.current = 0;
  }
}

void MacroLibrary::readMacroNames() { names_ = quillet::readMacroNames(folders_.macroFolder, list_); }

MacroPageView MacroLibrary::refreshMacroPage() {
  if (list_.groupCount == 0) {
    open_.count = 0;
  }
  open_.current = 0;
  return view();
}

MacroPageView MacroLibrary::view() const {
  MacroPageView v;
  for (int i = 0; i < list_.groupCount; ++i) {
    v.groupNames.push_back(list_.names[i]);
  }
  if (list_.groupCount == 0) {
    return v;
  }
  v.currentGroup = list_.currentGroup;
  v.groupNameText = list_.names[list_.currentGroup];
  const int count = std::clamp<int>(open_.count, 0, kGroupMaxMacros);
  for (int k = 0; k < count; ++k) {
    v.macroNames.push_back(macroName(open_.slots[k]));
  }
  if (open_.current >= 0 && open_.current < count) {
    v.currentMacro = open_.current;
    v.macroNameText = v.macroNames[open_.current];
  }
  return v;
}

MacroPageView MacroLibrary::selectMacro(int index) {
  if (index >= 0 && index < open_.count) {
    open_.current = index;
  }
  return view();
}

std::optional<fs::path> MacroLibrary::openGroupFile() const {
  const std::optional<MacroGroup> g = group(list_.currentGroup);
  return g ? std::optional<fs::path>(g->file) : std::nullopt;
}

void MacroLibrary::namesFollowOpenGroup() {
  if (list_.groupCount == 0 || list_.currentGroup >= kMaxGroups) {
    return;
  }
  MacroNameTable::Group& entry = names_.groups[list_.currentGroup];
  entry.count = std::clamp<int>(open_.count, 0, kGroupMaxMacros);
  for (int k = 0; k < kGroupMaxMacros; ++k) {
    entry.names[static_cast<std::size_t>(k)] = k < entry.count ? macroName(open_.slots[static_cast<std::size_t>(k)]) : "";
  }
}

bool MacroLibrary::saveCurrentMacro() {
  const std::optional<fs::path> file = openGroupFile();
  if (!file || open_.current < 0 || open_.current >= open_.count) {
    return true;  // no group open, or no macro in it: nothing to save
  }
  if (!writeMacro(*file, open_, open_.current)) {
    return false;
  }
  namesFollowOpenGroup();
  return true;
}

bool MacroLibrary::saveOpenGroup() {
  const std::optional<fs::path> file = openGroupFile();
  if (!file || !writeAllMacros(*file, open_)) {
    return false;
  }
  namesFollowOpenGroup();
  return true;
}

void MacroLibrary::saySaveFailed() {
  const std::optional<fs::path> file = openGroupFile();
  messages_.show(saveFailedMessage(file.value_or(folders_.macroFolder)));
}

bool MacroLibrary::saveCurrentMacroOrSay() {
  if (saveCurrentMacro()) {
    return true;
  }
  saySaveFailed();
  return false;
}

bool MacroLibrary::saveOpenGroupOrSay() {
  if (saveOpenGroup()) {
    return true;
  }
  saySaveFailed();
  return false;
}

bool MacroLibrary::mayImport() {
  if (list_.groupCount >= kMaxGroups) {
    messages_.show(kMsgMoreThanLimit);
    return false;
  }
  return true;
}

bool MacroLibrary::mayExport() {
  if (list_.groupCount == 0) {
    messages_.show(kMsgLibraryError);
    return false;
  }
  return true;
}

LibraryResult MacroLibrary::newGroup() {
  if (list_.groupCount >= kMaxGroups) {
    messages_.show(kMsgMoreThanLimit);
    return result(LibraryOutcome::Refused);
  }
  if (list_.find(kNewGroupName) >= 0) {
    messages_.show(std::string("'") + kNewGroupName + kMsgDoubleNameQuotedEnd);
    return result(LibraryOutcome::Refused);
  }
  // What is being edited is kept before another group opens; when it cannot be written the
  // group stays open with its edits.
  if (!saveCurrentMacroOrSay()) {
    return result(LibraryOutcome::Failed);
  }
  // The file first, then the list that names it: the list never names a file that is not there.
  const std::optional<fs::path> file = groupFilePath(folders_.macroFolder, kNewGroupName);
  if (!file || !fileio::writeFileAtomic(*file, "")) {
    messages_.show(kMsgCreateGroupFileFailed);
    return result(LibraryOutcome::Failed);
  }
  const MacroGroupList before = list_;
  list_.names[list_.groupCount] = kNewGroupName;
  list_.currentGroup = list_.groupCount;
  ++list_.groupCount;
  if (!saveGroupList()) {
    list_ = before;
    removeQuietly(*file);
    messages_.show(kMsgLibraryError);
    return result(LibraryOutcome::Failed);
  }
  clearAllSlots(open_);
  open_.current = 0;
  readMacroNames();
  return result(LibraryOutcome::Done);
}

LibraryResult MacroLibrary::deleteGroup() {
  if (list_.groupCount == 0) {
    return result(LibraryOutcome::Refused);
  }
  // The list first: a group whose file is deleted is never left listed, and a list that cannot
  // be written keeps both.
  const std::optional<MacroGroup> g = group(list_.currentGroup);
  const MacroGroupList before = list_;
  for (int i = list_.currentGroup; i + 1 < list_.groupCount; ++i) {
    list_.names[i] = list_.names[i + 1];
  }
  --list_.groupCount;
  list_.names[list_.groupCount].clear();
  list_.currentGroup = 0;
  if (!saveGroupList()) {
    list_ = before;
    messages_.show(kMsgLibraryError);
    return result(LibraryOutcome::Failed);
  }
  if (g && isFile(g->file)) {
    removeQuietly(g->file);
  }
  openCurrentOrClear();
  readMacroNames();
  refreshMacroPage();
  return result(LibraryOutcome::Done);
}

LibraryResult MacroLibrary::renameGroup(std::string_view text) {
  if (list_.groupCount == 0) {
    return result(LibraryOutcome::Refused);
  }
  if (text.empty() || text == " " || list_.find(text) >= 0) {
    return result(LibraryOutcome::Refused);
  }
  switch (checkGroupName(text)) {
    case GroupNameCheck::Ok:
      break;
    case GroupNameCheck::Empty:
    case GroupNameCheck::TooLong:
      return result(LibraryOutcome::Refused);
    case GroupNameCheck::Unsafe:
      messages_.show(kMsgInvalidGroupName);
      return result(LibraryOutcome::Refused);
  }
  const int current = list_.currentGroup;
  const std::optional<MacroGroup> old = group(current);
  const std::string oldName = list_.names[current];
  const std::optional<fs::path> renamed = groupFilePath(folders_.macroFolder, text);
  // Staged: the copy under the new name, then the list that names it, then the old file goes.
  // At every step the listed name has its file; what fails is undone and said.
  const bool hadFile = old && isFile(old->file);
  if (hadFile && (!renamed || !copyFile(old->file, *renamed))) {
    // The name was checked above: what failed is the write of the copy.
    messages_.show(std::string(kMsgRenameCopyFailed) + "\n" + renamed.value_or(folders_.macroFolder).string());
    return result(LibraryOutcome::Failed);
  }
  // On a file system that ignores case, "abc" and "ABC" are one file: never delete the copy.
  std::error_code ec;
  const bool sameFile = hadFile && fs::equivalent(old->file, *renamed, ec);
  list_.names[current] = std::string(text);
  if (!saveGroupList()) {
    list_.names[current] = oldName;
    if (hadFile && !sameFile) {
      removeQuietly(*renamed);
    }
    messages_.show(kMsgLibraryError);
    return result(LibraryOutcome::Failed);
  }
  if (!hadFile) {
    messages_.show(kMsgGroupFileNotFound);
  } else if (!sameFile) {
    removeQuietly(old->file);
  }
  readMacroNames();
  return result(LibraryOutcome::Done);
}

LibraryResult MacroLibrary::switchGroup(int item) {
  if (item < 1 || item > list_.groupCount) {
    return result(LibraryOutcome::Refused);
  }
  if (!saveCurrentMacroOrSay()) {
    return result(LibraryOutcome::Failed);
  }
  list_.currentGroup = static_cast<std::uint8_t>(item - 1);
  openGroup(list_.currentGroup, true);
  readMacroNames();
  refreshMacroPage();
  return result(LibraryOutcome::Done);
}

LibraryResult MacroLibrary::importGroup(const fs::path& chosen) {
  if (list_.groupCount >= kMaxGroups) {
    messages_.show(kMsgMoreThanLimit);
    return result(LibraryOutcome::Refused);
  }
  const std::string fileName = chosen.filename().string();
  const std::size_t extension = fileName.find(kGroupFileExtension);
  const std::string name = extension == std::string::npos ? std::string() : fileName.substr(0, extension);
  if (name.empty()) {
    messages_.show(kMsgLibraryError);
    return result(LibraryOutcome::Refused);
  }
  if (list_.find(name) >= 0) {
    messages_.show(kMsgDoubleName);
    return result(LibraryOutcome::Refused);
  }
  switch (checkGroupName(name)) {
    case GroupNameCheck::Ok:
      break;
    case GroupNameCheck::Unsafe:
      messages_.show(kMsgInvalidGroupName);
      return result(LibraryOutcome::Refused);
    default:
      messages_.show(kMsgLibraryError);  // too long to be found again in macroGrp.ini
      return result(LibraryOutcome::Refused);
  }
  if (!saveCurrentMacroOrSay()) {
    return result(LibraryOutcome::Failed);
  }
  // The copy is the group's own file, name + ".dat", whatever followed the first ".dat" in
  // the chosen name: a copy under the chosen name would not be found and the group would be
  // dropped at once.
  const fs::path target = folders_.macroFolder / (name + kGroupFileExtension);
  if (!copyFile(chosen, target)) {
    messages_.show(kMsgLibraryError);
    return result(LibraryOutcome::Failed);
  }
  list_.names[list_.groupCount++] = name;
  if (!saveGroupList()) {
    list_.names[--list_.groupCount].clear();
    removeQuietly(target);
    messages_.show(kMsgLibraryError);
    return result(LibraryOutcome::Failed);
  }
  loadGroupList();
  list_.currentGroup = list_.groupCount > 0 ? static_cast<std::uint8_t>(list_.groupCount - 1) : 0;
  openCurrentOrClear();
  readMacroNames();
  refreshMacroPage();
  return result(LibraryOutcome::Done);
}

LibraryResult MacroLibrary::exportGroup(const fs::path& target) {
  if (list_.groupCount == 0) {
    messages_.show(kMsgLibraryError);
    return result(LibraryOutcome::Refused);
  }
  if (!writeAllMacros(target, open_)) {
    messages_.show(kMsgLibraryError);
    return result(LibraryOutcome::Failed);
  }
  return result(LibraryOutcome::Done);
}

LibraryResult MacroLibrary::restoreFactorySet() {
  std::error_code ec;
  if (!fs::is_directory(folders_.resetFolder, ec)) {
    // Without a factory set nothing is deleted.
    messages_.show(kMsgLibraryError);
    return result(LibraryOutcome::Failed);
  }
  // Staged beside the library and swapped in whole: a copy that fails, or a process that dies
  // on the way, leaves the library as it was.
  const fs::path parent = folders_.macroFolder.parent_path();
  fileio::removeStaleTemporaryFolders(parent);
  const fs::path staged = fileio::temporarySibling(folders_.macroFolder);
  if (!fileio::copyTree(folders_.resetFolder, staged) || !fileio::replaceFolder(folders_.macroFolder, staged)) {
    fs::remove_all(staged, ec);
    messages_.show(kMsgLibraryError);
    return result(LibraryOutcome::Failed);
  }
  loadGroupList();
  openCurrentOrClear();
  readMacroNames();
  refreshMacroPage();
  return result(LibraryOutcome::Done);
}

}  // namespace quillet
