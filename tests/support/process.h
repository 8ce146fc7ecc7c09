#pragma once
// Runs a program of the build and collects its exit code, standard output and standard error.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

extern char** environ;

namespace quillet::test {

struct ProcessResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs build/bin/<program> with `args`; output goes through files so that a large output cannot
// block the child.
inline ProcessResult runProgram(const std::string& program, const std::vector<std::string>& args) {
  TempDir scratch;
  const std::string outPath = (scratch / "out").string();
  const std::string errPath = (scratch / "err").string();
  const std::string exe = (std::filesystem::path(QUILLET_BIN_DIR) / program).string();
  std::vector<std::string> storage{exe};
  storage.insert(storage.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : storage) {
    argv.push_back(s.data());
  }
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  ProcessResult result;
  if (posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    if (::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
      result.exitCode = WEXITSTATUS(status);
    }
  }
  posix_spawn_file_actions_destroy(&actions);
  result.out = readBytes(outPath);
  result.err = readBytes(errPath);
  return result;
}

// A program of the build running beside the test, its standard output and error in files of its
// own; SIGTERM and a wait when the test is done with it.
class BackgroundProgram {
 public:
  BackgroundProgram(const std::string& program, const std::vector<std::string>& args) {
    const std::string exe = (std::filesystem::path(QUILLET_BIN_DIR) / program).string();
    std::vector<std::string> storage{exe};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : storage) {
      argv.push_back(s.data());
    }
    argv.push_back(nullptr);
    const std::string out = outPath().string();
    const std::string err = errPath().string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (posix_spawn(&pid_, exe.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
  }
  ~BackgroundProgram() { stop(); }
  BackgroundProgram(const BackgroundProgram&) = delete;
  BackgroundProgram& operator=(const BackgroundProgram&) = delete;

  bool running() const { return pid_ > 0; }
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
    if (pid_ <= 0) {
      return exitCode_;
    }
    ::kill(pid_, SIGTERM);
    int status = 0;
    if (::waitpid(pid_, &status, 0) == pid_ && WIFEXITED(status)) {
      exitCode_ = WEXITSTATUS(status);
    }
    pid_ = -1;
    return exitCode_;
  }

 private:
  std::filesystem::path outPath() const { return scratch_ / "out"; }
  std::filesystem::path errPath() const { return scratch_ / "err"; }

  TempDir scratch_;
  pid_t pid_ = -1;
  int exitCode_ = -1;
};

}  // namespace quillet::test
