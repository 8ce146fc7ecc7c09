#include "core/device/device_lock.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace quillet {
namespace fs = std::filesystem;

namespace {

#if defined(_WIN32)

fs::path lockFolder() { return fs::temp_directory_path() / "quillet"; }

int openLockFile(const fs::path& path) {
  return ::_wopen(path.c_str(), _O_RDWR | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
}

// Windows locks a range of the file; the lock goes with the handle, as flock's with the
// descriptor. EWOULDBLOCK when another holds it and `wait` is false.
int lockFile(int fd, bool wait) {
  OVERLAPPED whole{};
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
  if (LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY), 0, 1, 0, &whole) != 0) {
    return 0;
  }
  errno = GetLastError() == ERROR_LOCK_VIOLATION ? EWOULDBLOCK : EIO;
  return -1;
}

void closeLockFile(int fd) { ::_close(fd); }

#else

fs::path lockFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime == '/') {
    return fs::path(runtime) / "quillet";
  }
  return fs::temp_directory_path() / ("quillet-" + std::to_string(::getuid()));
}

int openLockFile(const fs::path& path) { return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600); }

int lockFile(int fd, bool wait) {
  int r = 0;
  do {
    r = ::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB));
  } while (r != 0 && errno == EINTR);
  return r;
}

void closeLockFile(int fd) { ::close(fd); }

#endif

}  // namespace

fs::path deviceLockPath(std::string_view devicePath, std::string_view purpose) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string name;
  for (const char c : devicePath) {
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '-' || u == '.') {
      name += c;
    } else {
      name += '_';
      name += kHex[u >> 4];
      name += kHex[u & 0xF];
    }
  }
  name += '.';
  name += purpose;
  name += ".lock";
  return lockFolder() / name;
}

LockOutcome DeviceLock::acquire(std::string_view devicePath, std::string_view purpose, bool wait,
                                std::string* problem) {
  release();
  const fs::path path = deviceLockPath(devicePath, purpose);
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  const int fd = openLockFile(path);
  if (fd < 0) {
    if (problem != nullptr) {
      *problem = "cannot make the lock file " + path.string() + ": " + std::strerror(errno);
    }
    return LockOutcome::Failed;
  }
  if (lockFile(fd, wait) != 0) {
    const int error = errno;
    if (problem != nullptr) {
      *problem = error == EWOULDBLOCK ? "held by another program" : std::string(std::strerror(error));
    }
    closeLockFile(fd);
    return error == EWOULDBLOCK ? LockOutcome::Busy : LockOutcome::Failed;
  }
  fd_ = fd;
  device_ = std::string(devicePath);
  return LockOutcome::Held;
}

void DeviceLock::release() {
  if (fd_ >= 0) {
    closeLockFile(fd_);  // the lock goes with the descriptor
    fd_ = -1;
    device_.clear();
  }
}

bool ServeClaim::mayServe() {
  const std::string path = devicePath_ ? devicePath_() : std::string();
  if (path.empty()) {
    return true;  // no mouse known: nothing to share
  }
  if (lock_.held() && lock_.device() == path) {
    return true;
  }
  const LockOutcome outcome = lock_.acquire(path, kServeLock, false);
  if (outcome != LockOutcome::Busy) {
    // Held, or no lock to be had at all: then this program serves as it would alone.
    if (refusedSaid_ && say_) {
      say_(kMsgServesNow);
    }
    refusedSaid_ = false;
    return true;
  }
  if (!refusedSaid_ && say_) {
    say_(kMsgAnotherServes);
  }
  refusedSaid_ = true;
  return false;
}

}  // namespace quillet
