#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <system_error>

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

std::optional<std::string> readFile(const fs::path& path) {
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd.valid()) {
    return std::nullopt;
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::uintmax_t>(st.st_size) > kMaxReadBytes) {
    return std::nullopt;
  }
  std::string bytes;
  bytes.resize(static_cast<std::size_t>(st.st_size));
  std::size_t got = 0;
  while (true) {
    if (got == bytes.size()) {
      // The file may have grown since fstat: read on until end of file, within the limit.
      if (bytes.size() >= kMaxReadBytes) {
        char probe;
        const ssize_t more = ::read(fd.get(), &probe, 1);
        if (more != 0) {
          return std::nullopt;
        }
        break;
      }
      bytes.resize(std::min<std::size_t>(kMaxReadBytes, bytes.size() * 2 + 4096));
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

bool writeFileAtomic(const fs::path& requested, std::string_view bytes) {
  static std::atomic<unsigned> counter{0};
  const fs::path path = resolveLinks(requested);
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");

  struct stat old {};
  const bool hadFile = ::stat(path.c_str(), &old) == 0;
  if (hadFile && !S_ISREG(old.st_mode)) {
    return false;  // never replace a folder or a device
  }

  // A fresh name in the same folder, so the rename stays on one file system.
  fs::path temp;
  Descriptor fd(-1);
  for (int attempt = 0; attempt < 100 && !fd.valid(); ++attempt) {
    temp = folder / ("." + path.filename().string() + ".tmp" + std::to_string(::getpid()) + "-" +
                     std::to_string(counter.fetch_add(1)));
    fd = Descriptor(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd.valid() && errno != EEXIST) {
      return false;
    }
  }
  if (!fd.valid()) {
    return false;
  }
  bool ok = writeAll(fd.get(), bytes);
  if (ok && hadFile) {
    ok = ::fchmod(fd.get(), old.st_mode & 07777) == 0;
  }
  ok = ok && ::fsync(fd.get()) == 0;
  ok = fd.close() && ok;
  ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  // Make the rename itself durable.
  Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.valid()) {
    ::fsync(dir.get());
  }
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
