// The file calls of Linux and the other POSIX systems.
#include "core/io/file_io.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <limits>
#include <system_error>
#include <vector>

#include "core/io/file_io_platform.h"

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

}  // namespace

std::uint64_t currentProcessId() { return static_cast<std::uint64_t>(::getpid()); }

bool processIsGone(std::uint64_t pid) {
  if (pid > static_cast<std::uint64_t>(std::numeric_limits<pid_t>::max())) {
    return false;
  }
  return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

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
