#pragma once
// What file_io.cpp shares with the system's own file calls (file_io_posix.cpp on Linux and the
// other POSIX systems, file_io_win32.cpp on Windows). Internal to the file I/O module.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

namespace quillet::fileio {

// This process's id, as temporary names carry it.
std::uint64_t currentProcessId();
// True only when the process `pid` is known to have ended (false when the system may not say).
bool processIsGone(std::uint64_t pid);

// The writer's process id that a temporary name ".<file>.tmp<pid>-<n>" carries.
std::optional<std::uint64_t> writerOf(std::string_view name);
// `name` is a temporary name of a writer that is no longer alive.
bool leftByDeadWriter(std::string_view name);
// `path` with a chain of symbolic links followed (at most 16).
std::filesystem::path resolveLinks(const std::filesystem::path& path);
// Removes the temporary files that writers no longer alive left in `folder`.
void removeStaleTemporaries(const std::filesystem::path& folder);

}  // namespace quillet::fileio
