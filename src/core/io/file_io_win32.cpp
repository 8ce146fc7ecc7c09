// The file calls of Windows: the same contracts as on POSIX systems (see file_io.h), through the
// wide-character Win32 functions.
#include "core/io/file_io.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "core/io/file_io_platform.h"

namespace quillet::fileio {
namespace fs = std::filesystem;

namespace {

// Closes a Win32 handle when it goes out of scope.
class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() { close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  void reset(HANDLE h) {
    close();
    h_ = h;
  }
  bool close() {
    const HANDLE h = h_;
    h_ = INVALID_HANDLE_VALUE;
    return h == INVALID_HANDLE_VALUE || h == nullptr || CloseHandle(h) != 0;
  }

 private:
  HANDLE h_;
};

std::int64_t fileTimeNs(const FILETIME& t) {
  const std::uint64_t ticks = (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  return static_cast<std::int64_t>(ticks) * 100;  // 100 ns ticks
}

}  // namespace

std::uint64_t currentProcessId() { return GetCurrentProcessId(); }

bool processIsGone(std::uint64_t pid) {
  if (pid > 0xFFFFFFFFull) {
    return false;
  }
  Handle process(OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid)));
  if (!process.valid()) {
    // No such process; a process of another user refuses with access denied instead.
    return GetLastError() == ERROR_INVALID_PARAMETER;
  }
  return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0;
}

std::optional<std::string> readFile(const fs::path& path, std::uintmax_t maxBytes) {
  const std::size_t limit = static_cast<std::size_t>(std::min<std::uintmax_t>(maxBytes, kMaxReadBytes));
  Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid() || GetFileType(file.get()) != FILE_TYPE_DISK) {
    return std::nullopt;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(file.get(), &info) == 0 || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return std::nullopt;
  }
  std::string bytes;
  std::size_t got = 0;
  bytes.resize(std::min<std::size_t>(4096, limit));
  while (true) {
    if (got == bytes.size()) {
      if (bytes.size() >= limit) {
        char probe;
        DWORD more = 0;
        if (ReadFile(file.get(), &probe, 1, &more, nullptr) == 0 || more != 0) {
          return std::nullopt;
        }
        break;
      }
      bytes.resize(std::min<std::size_t>(limit, bytes.size() * 2));
    }
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - got, 1u << 30));
    if (ReadFile(file.get(), bytes.data() + got, want, &n, nullptr) == 0) {
      return std::nullopt;
    }
    if (n == 0) {
      break;
    }
    got += n;
  }
  bytes.resize(got);
  return bytes;
}

bool writeFileAtomic(const fs::path& requested, std::string_view bytes) {
  const fs::path path = resolveLinks(requested);
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return false;  // never replace a folder
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      errno = EACCES;
      return false;
    }
  }
  removeStaleTemporaries(folder);

  fs::path temp;
  Handle file(INVALID_HANDLE_VALUE);
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = temporarySibling(path);
    HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      file.reset(h);
      break;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) {
      return false;
    }
  }
  if (!file.valid()) {
    return false;
  }
  bool ok = true;
  while (ok && !bytes.empty()) {
    DWORD n = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    ok = WriteFile(file.get(), bytes.data(), chunk, &n, nullptr) != 0;
    bytes.remove_prefix(n);
  }
  ok = ok && FlushFileBuffers(file.get()) != 0;
  ok = file.close() && ok;
  ok = ok && SetFileAttributesW(temp.c_str(), attributes != INVALID_FILE_ATTRIBUTES ? attributes : FILE_ATTRIBUTE_NORMAL);
  ok = ok && MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  if (!ok) {
    DeleteFileW(temp.c_str());
    return false;
  }
  return true;
}

bool replaceFolder(const fs::path& folder, const fs::path& staged) {
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(folder, ec))) {
    return MoveFileExW(staged.c_str(), folder.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
  }
  // Windows has no exchange of two names: the old folder is kept aside until the new one is in
  // place.
  const fs::path aside = temporarySibling(folder);
  if (MoveFileExW(folder.c_str(), aside.c_str(), MOVEFILE_WRITE_THROUGH) == 0) {
    return false;
  }
  if (MoveFileExW(staged.c_str(), folder.c_str(), MOVEFILE_WRITE_THROUGH) == 0) {
    MoveFileExW(aside.c_str(), folder.c_str(), MOVEFILE_WRITE_THROUGH);
    return false;
  }
  fs::remove_all(aside, ec);
  return true;
}

FileStamp stampOf(const fs::path& path) {
  FileStamp stamp;
  Handle file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file.valid() || GetFileInformationByHandle(file.get(), &info) == 0) {
    return stamp;
  }
  stamp.exists = true;
  stamp.device = info.dwVolumeSerialNumber;
  stamp.inode = (static_cast<std::uintmax_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  stamp.size = (static_cast<std::uintmax_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  stamp.modifiedNs = fileTimeNs(info.ftLastWriteTime);
  stamp.changedNs = fileTimeNs(info.ftCreationTime);
  return stamp;
}

}  // namespace quillet::fileio
