#pragma once
// Runs a program of the build and collects its exit code, standard output and standard error.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
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

}  // namespace quillet::test
