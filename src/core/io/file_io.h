#pragma once
// Whole-file reads and atomic whole-file replacement.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quillet::fileio {

// Files larger than this are not read: every file Quillet reads is a few kilobytes, and a
// stray huge file must not exhaust memory.
constexpr std::uintmax_t kMaxReadBytes = 64u * 1024u * 1024u;

// The bytes of a regular file, or nullopt when the path is missing, is not a regular file
// (a folder, a device), cannot be read, or is larger than `maxBytes` (kMaxReadBytes unless a
// reader of one kind of file knows a smaller bound).
std::optional<std::string> readFile(const std::filesystem::path& path, std::uintmax_t maxBytes = kMaxReadBytes);

// Replaces `path` with `bytes` atomically: the bytes go to a temporary file in the same folder,
// which is flushed to disk and then renamed over `path`. Either the old file or the complete
// new one is there at every moment; on failure the old file is left untouched and false is
// returned. A symbolic link is followed, so the file it points to is replaced. An existing
// file keeps its permission bits.
//
// A read-only file (no write permission bit, or not writable by this user) is refused, as
// Windows refuses to write a file with the read-only attribute: false, errno EACCES.
//
// The temporary file has no name while it is written (it vanishes with a process killed
// meanwhile); it is named ".<file>.tmp<pid>-<n>" only for the rename. Such names left by
// writers that are no longer alive are removed from the folder by the next write into it.
[[nodiscard]] bool writeFileAtomic(const std::filesystem::path& path, std::string_view bytes);

// Whether `name` (a file name without folder) is one of writeFileAtomic's temporary names.
bool isOurTemporaryName(std::string_view name);

// A fresh temporary name beside `path` (same folder, so a rename stays on one file system), of
// the same form: ".<name>.tmp<pid>-<n>". Nothing is created.
std::filesystem::path temporarySibling(const std::filesystem::path& path);

// Removes the temporary folders (named as temporarySibling names them) that writers no longer
// alive left in `parent`, with everything in them.
void removeStaleTemporaryFolders(const std::filesystem::path& parent);

// Copies the regular files and folders below `from` into `to`, creating `to` and the folders it
// needs; each file through writeFileAtomic. Links are not followed, so the copy never reaches
// outside `from`. False when anything could not be read or written (what was copied stays).
[[nodiscard]] bool copyTree(const std::filesystem::path& from, const std::filesystem::path& to);

// Puts the folder `staged` where `folder` is, in one step where the system can: at every moment
// `folder` is either the old folder or the staged one. The old folder (or what is left of it)
// is then removed. A missing `folder` is simply replaced. False, with both as they were, when
// the swap cannot be made.
[[nodiscard]] bool replaceFolder(const std::filesystem::path& folder, const std::filesystem::path& staged);

// What identifies one version of a file on disk: a change of content through any program
// changes at least one of these.
struct FileStamp {
  bool exists = false;
  std::uintmax_t device = 0;
  std::uintmax_t inode = 0;
  std::uintmax_t size = 0;
  std::int64_t modifiedNs = 0;
  std::int64_t changedNs = 0;
  bool operator==(const FileStamp&) const = default;
};
FileStamp stampOf(const std::filesystem::path& path);

}  // namespace quillet::fileio
