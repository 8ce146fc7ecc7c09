// quilletctl macros: the listing of a group file.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "core/macro/macro_file.h"
#include "macro/macro_test_support.h"

namespace quillet {
namespace {

struct CliRun {
  int exitCode;
  std::string out;
};

CliRun quilletctl(const std::string& args) {
  const std::string command = std::string("\"") + QUILLET_BIN_DIR + "/quilletctl\" " + args + " 2>/dev/null";
  CliRun run{-1, {}};
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) {
    return run;
  }
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
    run.out.append(buffer, n);
  }
  const int status = ::pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST(QuilletctlMacros, ListsEveryMacroAndStep) {
  test::TempFolder temp;
  OpenGroup group;
  group.slots[0] = test::makeMacro("宏", {test::press(53, 5), test::move(step_type::kMoveLeftUp, 5, 10, 300)},
                                   play_mode::kLoopCount, 3);
  group.slots[1] = test::makeMacro("empty", {}, play_mode::kWhileHeld);
  group.count = 2;
  const auto file = temp / "g.dat";
  ASSERT_TRUE(writeAllMacros(file, group));

  const CliRun run = quilletctl("macros \"" + file.string() + "\"");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, file.string() + ": 2 macros\n"
                     "macro 0 \"宏\": play mode 0, loop count 3, 2 steps\n"
                     "  step 0: type 1 code 53 x 0 y 0 delay 5\n"
                     "  step 1: type 3 code 246 x 5 y 10 delay 300\n"
                     "macro 1 \"empty\": play mode 2, loop count 1, 0 steps\n");
}

TEST(QuilletctlMacros, RefusesAMissingFileOrArgument) {
  test::TempFolder temp;
  EXPECT_EQ(quilletctl("macros \"" + (temp / "absent.dat").string() + "\"").exitCode, 2);
  EXPECT_EQ(quilletctl("macros").exitCode, 2);
  EXPECT_EQ(quilletctl("macros a.dat b.dat").exitCode, 2);
}

}  // namespace
}  // namespace quillet
