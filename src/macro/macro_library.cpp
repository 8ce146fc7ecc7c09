#include "macro/macro_library.h"

#include <algorithm>
#include <system_error>

#include "macro/macro_file.h"
#include "platform/file_io.h"
#include "platform/messages.h"

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

std::vector<fs::directory_entry> entriesOf(const fs::path& folder) {
  std::vector<fs::directory_entry> entries;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    entries.push_back(*it);
  }
  return entries;
}

fs::file_type typeOf(const fs::directory_entry& entry) {
  std::error_code ec;
  return entry.symlink_status(ec).type();
}

// Copies the regular files and folders below `from` into `to`, creating `to` and replacing what
// is in the way. Links are not followed, so the copy never reaches outside the factory folder.
// The group list of a folder is copied after its group files, so that it never names a group
// whose file is still to come. Single failures go unreported, as the restore asks.
void copyTree(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  if (fs::is_symlink(to, ec) || (fs::exists(to, ec) && !fs::is_directory(to, ec))) {
    fs::remove_all(to, ec);
  }
  fs::create_directories(to, ec);
  std::vector<fs::directory_entry> entries = entriesOf(from);
  std::stable_partition(entries.begin(), entries.end(),
                        [](const fs::directory_entry& e) { return e.path().filename() != kGroupListFileName; });
  for (const fs::directory_entry& entry : entries) {
    const fs::path target = to / entry.path().filename();
    switch (typeOf(entry)) {
      case fs::file_type::directory:
        copyTree(entry.path(), target);
        break;
      case fs::file_type::regular: {
        std::error_code targetEc;
        if (fs::is_directory(target, targetEc) || fs::is_symlink(target, targetEc)) {
          fs::remove_all(target, targetEc);
        }
        copyFile(entry.path(), target);
        break;
      }
      default:
        break;
    }
  }
}

// Removes everything below `folder` that `model` does not have as the same kind of entry, and
// keeps the folder. remove_all removes a link, never what it points to, so nothing outside the
// folder is touched.
void pruneTo(const fs::path& folder, const fs::path& model) {
  for (const fs::directory_entry& entry : entriesOf(folder)) {
    const fs::path counterpart = model / entry.path().filename();
    std::error_code ec;
    const fs::file_type want = fs::symlink_status(counterpart, ec).type();
    const fs::file_type have = typeOf(entry);
    if (have == fs::file_type::directory && want == fs::file_type::directory) {
      pruneTo(entry.path(), counterpart);
    } else if (have != want || have != fs::file_type::regular) {
      std::error_code removeEc;
      fs::remove_all(entry.path(), removeEc);
    }
  }
}

}  // namespace

MacroLibrary::MacroLibrary(MessageService& messages) : messages_(messages) {}

MacroPageView MacroLibrary::start(const fs::path& skinFolder, const fs::path& appFolder, Language language) {
  setFolders(skinFolder, language);
  loadGroupList();
  openCurrentOrClear();
  readMacroNames();
  readBuiltinMacros(appFolder / kBuiltinMacroFileName, builtins_, messages_);
  return refreshMacroPage();
}

MacroPageView MacroLibrary::changeLanguage(const fs::path& skinFolder, Language language) {
  saveCurrentMacro();
  setFolders(skinFolder, language);
  loadGroupList();
  openCurrentOrClear();
  readMacroNames();
  return refreshMacroPage();
}

void MacroLibrary::setFolders(const fs::path& skinFolder, Language language) {
  folders_ = MacroFolders::of(skinFolder, language);
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
  if (dropped) {
    saveGroupList();
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
    return false;  // no group open, or no macro in it to save
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
  saveCurrentMacro();
  const std::optional<fs::path> file = groupFilePath(folders_.macroFolder, kNewGroupName);
  if (!file || !fileio::writeFileAtomic(*file, "")) {
    messages_.show(kMsgCreateGroupFileFailed);
  }
  list_.names[list_.groupCount] = kNewGroupName;
  list_.currentGroup = list_.groupCount;
  ++list_.groupCount;
  saveGroupList();
  clearAllSlots(open_);
  open_.current = 0;
  readMacroNames();
  return result(LibraryOutcome::Done);
}

LibraryResult MacroLibrary::deleteGroup() {
  if (list_.groupCount == 0) {
    return result(LibraryOutcome::Refused);
  }
  if (const std::optional<MacroGroup> g = group(list_.currentGroup)) {
    std::error_code ec;
    if (fs::is_regular_file(g->file, ec)) {
      fs::remove(g->file, ec);
    }
  }
  for (int i = list_.currentGroup; i + 1 < list_.groupCount; ++i) {
    list_.names[i] = list_.names[i + 1];
  }
  --list_.groupCount;
  list_.names[list_.groupCount].clear();
  list_.currentGroup = 0;
  saveGroupList();
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
  const std::optional<fs::path> renamedFile = groupFilePath(folders_.macroFolder, text);
  if (!old || !isFile(old->file)) {
    list_.names[current] = std::string(text);
    saveGroupList();
    messages_.show(kMsgGroupFileNotFound);
    readMacroNames();
    return result(LibraryOutcome::Done);
  }
  // On a file system that ignores case, "abc" and "ABC" are one file: it is not copied onto
  // itself, and never deleted.
  std::error_code ec;
  const bool sameFile = renamedFile && fs::equivalent(old->file, *renamedFile, ec);
  if (!renamedFile || (!sameFile && !copyFile(old->file, *renamedFile))) {
    messages_.show(kMsgInvalidGroupName);
    return result(LibraryOutcome::Failed);
  }
  list_.names[current] = std::string(text);
  if (!saveGroupList()) {
    // The list still names the old file, which is still there: the copy goes again.
    list_.names[current] = oldName;
    if (!sameFile) {
      fs::remove(*renamedFile, ec);
    }
    messages_.show(kMsgInvalidGroupName);
    return result(LibraryOutcome::Failed);
  }
  if (!sameFile) {
    fs::remove(old->file, ec);
  }
  readMacroNames();
  return result(LibraryOutcome::Done);
}

LibraryResult MacroLibrary::switchGroup(int item) {
  if (item < 1 || item > list_.groupCount) {
    return result(LibraryOutcome::Refused);
  }
  saveCurrentMacro();
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
  saveCurrentMacro();
  // The copy is the group's own file, name + ".dat", whatever followed the first ".dat" in
  // the chosen name: a copy under the chosen name would not be found and the group would be
  // dropped at once.
  const fs::path target = folders_.macroFolder / (name + kGroupFileExtension);
  if (!copyFile(chosen, target)) {
    messages_.show(kMsgLibraryError);
    return result(LibraryOutcome::Failed);
  }
  list_.names[list_.groupCount++] = name;
  saveGroupList();
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
  copyTree(folders_.resetFolder, folders_.macroFolder);
  pruneTo(folders_.macroFolder, folders_.resetFolder);
  loadGroupList();
  openCurrentOrClear();
  readMacroNames();
  refreshMacroPage();
  return result(LibraryOutcome::Done);
}

}  // namespace quillet
