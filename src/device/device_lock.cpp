#include "device/device_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace quillet {
namespace fs = std::filesystem;

namespace {

fs::path lockFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime == '/') {
    return fs::path(runtime) / "quillet";
  }
  return fs::temp_directory_path() / ("quillet-" + std::to_string(::getuid()));
}

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
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    if (problem != nullptr) {
      *problem = "cannot make the lock file " + path.string() + ": " + std::strerror(errno);
    }
    return LockOutcome::Failed;
  }
  int r = 0;
  do {
    r = ::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB));
  } while (r != 0 && errno == EINTR);
  if (r != 0) {
    const int error = errno;
    if (problem != nullptr) {
      *problem = error == EWOULDBLOCK ? "held by another program" : std::string(std::strerror(error));
    }
    ::close(fd);
    return error == EWOULDBLOCK ? LockOutcome::Busy : LockOutcome::Failed;
  }
  fd_ = fd;
  device_ = std::string(devicePath);
  return LockOutcome::Held;
}

void DeviceLock::release() {
  if (fd_ >= 0) {
    ::close(fd_);  // the lock goes with the descriptor
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
