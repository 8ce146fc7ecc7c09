#pragma once
// Child processes of a test: a program started beside it (ChildProcess), a program run to its end
// (runProgram), a program of the build kept running with its output in files (BackgroundProgram).
// A child never outlives the object that started it: its destructor kills and reaps it.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/temp_dir.h"

extern char** environ;

namespace quillet::test {

// A program of the build, by its name.
inline std::filesystem::path buildProgram(const std::string& name) {
  return std::filesystem::path(QUILLET_BIN_DIR) / name;
}

// How a child starts. A stream left unset is this process's own; a file is opened for reading
// (in) or created and truncated (out, err), "/dev/null" included.
struct ChildOptions {
  std::vector<std::string> env = {};  // NAME=value, over this process's environment
  std::optional<std::filesystem::path> in = {};
  std::optional<std::filesystem::path> out = {};
  std::optional<std::filesystem::path> err = {};
};

class ChildProcess {
 public:
  // Exit code reported for a child that a signal ended.
  static constexpr int kKilled = -1;

  ChildProcess() = default;

  // Starts `program` with `args` (posix_spawn: no code of this process runs in the child, which
  // keeps it safe beside the test's threads).
  ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
               const ChildOptions& options = {}) {
    std::vector<std::string> argStorage{program.string()};
    argStorage.insert(argStorage.end(), args.begin(), args.end());
    std::vector<std::string> envStorage;
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string entry = *e;
      const std::string name = entry.substr(0, entry.find('='));
      bool replaced = false;
      for (const std::string& set : options.env) {
        replaced = replaced || set.compare(0, name.size() + 1, name + "=") == 0;
      }
      if (!replaced) {
        envStorage.push_back(entry);
      }
    }
    envStorage.insert(envStorage.end(), options.env.begin(), options.env.end());
    std::vector<char*> argv = pointers(argStorage);
    std::vector<char*> envp = pointers(envStorage);

    const std::string in = options.in ? options.in->string() : std::string();
    const std::string out = options.out ? options.out->string() : std::string();
    const std::string err = options.err ? options.err->string() : std::string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (options.in) {
      posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    }
    if (options.out) {
      posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    if (options.err) {
      posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    error_ = posix_spawn(&pid_, argStorage[0].c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error_ != 0) {
      pid_ = -1;
    }
  }

  // A copy of this process that runs `body` and then ends with 0 (1 when `body` throws), for a
  // test that needs a process of its own in the middle of its work, or one that has ended.
  static ChildProcess fork(const std::function<void()>& body) {
    ChildProcess child;
    child.pid_ = ::fork();
    if (child.pid_ == 0) {
      try {
        body();
      } catch (...) {
        ::_exit(1);
      }
      ::_exit(0);
    }
    if (child.pid_ < 0) {
      child.error_ = errno;
    }
    return child;
  }

  ~ChildProcess() {
    if (!reaped()) {
      ::kill(pid_, SIGKILL);
      wait();
    }
  }
  ChildProcess(ChildProcess&& other) noexcept { swap(other); }
  ChildProcess& operator=(ChildProcess&& other) noexcept {
    ChildProcess gone(std::move(other));
    swap(gone);
    return *this;
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // 0 once started, else the error number of the failed start.
  int error() const { return error_; }
  bool started() const { return pid_ > 0; }
  // The child's pid, also after it has been reaped.
  pid_t pid() const { return pid_; }

  // Sends `sig` unless the child has been reaped (its pid may be another process's by then).
  void signal(int sig) const {
    if (!reaped()) {
      ::kill(pid_, sig);
    }
  }

  // Waits for the child's end: its exit code, kKilled when a signal ended it (or it never started).
  int wait() {
    while (!reaped()) {
      reap(0);
    }
    return exitCode_;
  }
  // The same within `timeout`; nothing while the child is still running then. A zero timeout looks
  // once.
  std::optional<int> wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!reaped() && !reap(WNOHANG) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!reaped()) {
      return std::nullopt;
    }
    return exitCode_;
  }
  // `sig`, then wait().
  int stop(int sig = SIGTERM) {
    signal(sig);
    return wait();
  }

  // The processor time and other resources the child used, once reaped.
  const rusage& usage() const { return usage_; }

 private:
  static std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> p;
    for (std::string& s : strings) {
      p.push_back(s.data());
    }
    p.push_back(nullptr);
    return p;
  }

  bool reaped() const { return pid_ <= 0 || done_; }

  // One wait4; true once the child has been reaped.
  bool reap(int flags) {
    int status = 0;
    const pid_t r = ::wait4(pid_, &status, flags, &usage_);
    if (r == pid_) {
      exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : kKilled;
      done_ = true;
    } else if (r < 0 && errno != EINTR) {
      done_ = true;  // not our child any more: nothing to wait for
    }
    return done_;
  }

  void swap(ChildProcess& other) noexcept {
    std::swap(pid_, other.pid_);
    std::swap(error_, other.error_);
    std::swap(done_, other.done_);
    std::swap(exitCode_, other.exitCode_);
    std::swap(usage_, other.usage_);
  }

  pid_t pid_ = -1;
  int error_ = 0;
  bool done_ = false;
  int exitCode_ = kKilled;
  rusage usage_{};
};

// The pid of a process that has ended and been reaped: a name a dead process left behind.
inline pid_t endedPid() {
  ChildProcess gone = ChildProcess::fork([] {});
  gone.wait();
  return gone.pid();
}

struct ProcessResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs build/bin/<program> with `args`; output goes through files so that a large output cannot
// block the child.
inline ProcessResult runProgram(const std::string& program, const std::vector<std::string>& args) {
  TempDir scratch;
  ChildProcess child(buildProgram(program), args, {.in = "/dev/null", .out = scratch / "out", .err = scratch / "err"});
  ProcessResult result;
  result.exitCode = child.wait();
  result.out = readBytes(scratch / "out");
  result.err = readBytes(scratch / "err");
  return result;
}

// A program of the build running beside the test, its standard output and error in files of its
// own; SIGTERM and a wait when the test is done with it.
class BackgroundProgram {
 public:
  BackgroundProgram(const std::string& program, const std::vector<std::string>& args)
      : child_(buildProgram(program), args, {.in = "/dev/null", .out = outPath(), .err = errPath()}) {}
  ~BackgroundProgram() { stop(); }
  BackgroundProgram(const BackgroundProgram&) = delete;
  BackgroundProgram& operator=(const BackgroundProgram&) = delete;

  bool running() const { return running_; }
  std::string out() const { return readBytes(outPath()); }
  std::string err() const { return readBytes(errPath()); }

  // Waits up to `timeout` for `text` to appear on the program's standard output.
  bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout) const {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
      if (out().find(text) != std::string::npos) {
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  // SIGTERM, then the exit code (-1 when it did not exit normally).
  int stop() {
    running_ = false;
    return child_.stop(SIGTERM);
  }

 private:
  std::filesystem::path outPath() const { return scratch_ / "out"; }
  std::filesystem::path errPath() const { return scratch_ / "err"; }

  TempDir scratch_;
  ChildProcess child_;
  bool running_ = child_.started();
};

}  // namespace quillet::test
