#include "platform/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <system_error>
#include <vector>

namespace quillet::fileio {
namespace fs = std::filesystem;

namespace {

// Closes a POSIX descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() { reset(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = other.fd_;
      other.fd_ = -1;
    }
    return *this;
  }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now and tells whether the close succeeded (a late write error shows here).
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  void reset() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
    fd_ = -1;
  }
  int fd_;
};

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

constexpr const char* kTemporaryMark = ".tmp";

fs::path resolveLinks(const fs::path& path) {
  std::error_code ec;
  fs::path target = path;
  // Follow a chain of links, but not forever.
  for (int hops = 0; hops < 16 && fs::is_symlink(target, ec); ++hops) {
    const fs::path next = fs::read_symlink(target, ec);
    if (ec) {
      break;
    }
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  return target;
}

}  // namespace

std::optional<std::string> readFile(const fs::path& path, std::uintmax_t maxBytes) {
  const std::size_t limit = static_cast<std::size_t>(std::min<std::uintmax_t>(maxBytes, kMaxReadBytes));
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd.valid()) {
    return std::nullopt;
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::uintmax_t>(st.st_size) > limit) {
    return std::nullopt;
  }
  std::string bytes;
  bytes.resize(static_cast<std::size_t>(st.st_size));
  std::size_t got = 0;
  while (true) {
    if (got == bytes.size()) {
      // The file may have grown since fstat: read on until end of file, within the limit.
      if (bytes.size() >= limit) {
        char probe;
        const ssize_t more = ::read(fd.get(), &probe, 1);
        if (more != 0) {
          return std::nullopt;
        }
        break;
      }
      bytes.resize(std::min<std::size_t>(limit, bytes.size() * 2 + 4096));
    }
    const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return std::nullopt;
    }
    if (n == 0) {
      break;
    }
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  return bytes;
}

namespace {

bool isReadOnly(const fs::path& path, const struct stat& st) {
  // No write bit at all is the read-only attribute, which no user, root included, writes
  // through. Otherwise the file must be writable for this user: the folder's permission alone
  // would let a rename replace a file that belongs to someone else.
  return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0;
}

std::string temporaryPrefix(const fs::path& path) { return "." + path.filename().string() + kTemporaryMark; }

// `name` is ".<file>.tmp<pid>-<n>": the pid of the writer that made it, when it is one of ours.
std::optional<pid_t> writerOf(std::string_view name) {
  if (name.empty() || name.front() != '.') {
    return std::nullopt;
  }
  const std::size_t mark = name.rfind(kTemporaryMark);
  if (mark == std::string_view::npos || mark == 0) {
    return std::nullopt;
  }
  std::string_view rest = name.substr(mark + std::string_view(kTemporaryMark).size());
  const std::size_t dash = rest.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == rest.size()) {
    return std::nullopt;
  }
  const auto digits = [](std::string_view t) {
    return std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  if (!digits(rest.substr(0, dash)) || !digits(rest.substr(dash + 1)) || dash > 9) {
    return std::nullopt;
  }
  pid_t pid = 0;
  for (char c : rest.substr(0, dash)) {
    pid = pid * 10 + (c - '0');
  }
  return pid;
}

// A named temporary file is there only between its link and its rename; a writer killed in
// that moment leaves it. Such files of writers that are no longer alive are removed.
void removeStaleTemporaries(const fs::path& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    return;
  }
  while (const dirent* entry = ::readdir(dir)) {
    const std::optional<pid_t> pid = writerOf(entry->d_name);
    // A live writer (or one of another user, which kill may not ask about) keeps its file.
    if (pid && *pid > 0 && *pid != ::getpid() && ::kill(*pid, 0) != 0 && errno == ESRCH) {
      ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
  }
  ::closedir(dir);
}

}  // namespace

bool writeFileAtomic(const fs::path& requested, std::string_view bytes) {
  const fs::path path = resolveLinks(requested);
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");

  struct stat old {};
  const bool hadFile = ::stat(path.c_str(), &old) == 0;
  if (hadFile && !S_ISREG(old.st_mode)) {
    return false;  // never replace a folder or a device
  }
  if (hadFile && isReadOnly(path, old)) {
    errno = EACCES;
    return false;
  }
  removeStaleTemporaries(folder);

  // The new content goes into a file without a name, which vanishes with the process should it
  // be killed while writing; it gets a name only for the rename. Where the file system offers
  // no such file, a named one is used from the start.
  Descriptor fd(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
  const bool unnamed = fd.valid();
  const auto freshName = [&] { return temporarySibling(path); };
  fs::path temp;
  if (!unnamed) {
    for (int attempt = 0; attempt < 100 && !fd.valid(); ++attempt) {
      temp = freshName();
      fd = Descriptor(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
      if (!fd.valid() && errno != EEXIST) {
        return false;
      }
    }
    if (!fd.valid()) {
      return false;
    }
  }
  bool ok = writeAll(fd.get(), bytes);
  if (ok && hadFile) {
    ok = ::fchmod(fd.get(), old.st_mode & 07777) == 0;
  }
  ok = ok && ::fsync(fd.get()) == 0;
  if (ok && unnamed) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd.get());
    for (int attempt = 0; attempt < 100; ++attempt) {
      temp = freshName();
      if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        break;
      }
      if (errno != EEXIST) {
        ok = false;
        break;
      }
      temp.clear();
    }
    ok = ok && !temp.empty();
  }
  ok = fd.close() && ok;
  ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    if (!temp.empty()) {
      ::unlink(temp.c_str());
    }
    return false;
  }
  // Make the rename itself durable.
  Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.valid()) {
    ::fsync(dir.get());
  }
  return true;
}

bool isOurTemporaryName(std::string_view name) { return writerOf(name).has_value(); }

fs::path temporarySibling(const fs::path& path) {
  static std::atomic<unsigned> counter{0};
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
  return folder / (temporaryPrefix(path) + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1)));
}

void removeStaleTemporaryFolders(const fs::path& parent) {
  std::error_code ec;
  std::vector<fs::path> stale;
  for (fs::directory_iterator it(parent, ec), end; !ec && it != end; it.increment(ec)) {
    const std::optional<pid_t> pid = writerOf(it->path().filename().string());
    std::error_code typeEc;
    if (pid && *pid > 0 && *pid != ::getpid() && it->symlink_status(typeEc).type() == fs::file_type::directory &&
        ::kill(*pid, 0) != 0 && errno == ESRCH) {
      stale.push_back(it->path());
    }
  }
  for (const fs::path& folder : stale) {
    std::error_code removeEc;
    fs::remove_all(folder, removeEc);
  }
}

bool copyTree(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  if (!fs::create_directories(to, ec) && ec) {
    return false;
  }
  bool ok = true;
  fs::directory_iterator it(from, ec);
  for (fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
    std::error_code typeEc;
    const fs::file_status status = it->symlink_status(typeEc);
    const fs::path target = to / it->path().filename();
    if (fs::is_directory(status)) {
      ok = copyTree(it->path(), target) && ok;
    } else if (fs::is_regular_file(status)) {
      const std::optional<std::string> bytes = readFile(it->path());
      ok = bytes && writeFileAtomic(target, *bytes) && ok;
    }
  }
  return ok && !ec;
}

bool replaceFolder(const fs::path& folder, const fs::path& staged) {
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(folder, ec))) {
    return ::rename(staged.c_str(), folder.c_str()) == 0;
  }
  // The exchange swaps the two names in one step; `staged` then names the old folder.
  if (::renameat2(AT_FDCWD, staged.c_str(), AT_FDCWD, folder.c_str(), RENAME_EXCHANGE) != 0) {
    if (errno != EINVAL && errno != ENOSYS) {
      return false;
    }
    // A file system without the exchange: two renames, the old folder kept aside until the new
    // one is in place.
    const fs::path aside = temporarySibling(folder);
    if (::rename(folder.c_str(), aside.c_str()) != 0) {
      return false;
    }
    if (::rename(staged.c_str(), folder.c_str()) != 0) {
      ::rename(aside.c_str(), folder.c_str());
      return false;
    }
    fs::remove_all(aside, ec);
    return true;
  }
  fs::remove_all(staged, ec);
  return true;
}

FileStamp stampOf(const fs::path& path) {
  struct stat st {};
  FileStamp stamp;
  if (::stat(path.c_str(), &st) != 0) {
    return stamp;
  }
  stamp.exists = true;
  stamp.device = static_cast<std::uintmax_t>(st.st_dev);
  stamp.inode = static_cast<std::uintmax_t>(st.st_ino);
  stamp.size = static_cast<std::uintmax_t>(st.st_size);
  stamp.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  stamp.changedNs = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  return stamp;
}

}  // namespace quillet::fileio
