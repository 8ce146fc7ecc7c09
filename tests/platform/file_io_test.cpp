// The atomic writer: what it refuses (read-only files) and what it leaves behind (nothing).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "core/io/file_io.h"
#include "core/io/ini.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;
namespace fs = std::filesystem;

std::vector<std::string> entries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const fs::directory_entry& e : fs::directory_iterator(folder)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(AtomicWrite, ReadOnlyFilesAreRefusedAndKeptWhateverTheUser) {
  // The read-only attribute is the absence of every write bit; root is refused too.
  struct Case {
    mode_t mode;
    bool written;
  };
  for (const Case c : {Case{0444, false}, Case{0400, false}, Case{0555, false}, Case{0000, false}, Case{0644, true},
                       Case{0600, true}, Case{0200, true}}) {
    SCOPED_TRACE(testing::Message() << "mode " << std::oct << c.mode);
    TempDir dir;
    const fs::path file = dir / "config.ini";
    writeBytes(file, "[A]\nold=1\n");
    ASSERT_EQ(::chmod(file.c_str(), c.mode), 0);
    errno = 0;
    EXPECT_EQ(fileio::writeFileAtomic(file, "new"), c.written);
    if (!c.written) {
      EXPECT_EQ(errno, EACCES);
    }
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.mode) << "the file keeps its permission bits";
    ::chmod(file.c_str(), 0600);
    EXPECT_EQ(readBytes(file), c.written ? "new" : "[A]\nold=1\n");
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"config.ini"}) << "no temporary file is left";
  }
}

TEST(AtomicWrite, AFolderThatCannotBeWrittenFailsTheWriteAndKeepsTheFile) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "root writes into every folder; CI runs this test as an ordinary user";
  }
  TempDir dir;
  const fs::path folder = dir / "config";
  writeBytes(folder / "config.ini", "[Init]\nCurConfig=1\n");
  ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
  EXPECT_FALSE(fileio::writeFileAtomic(folder / "config.ini", "new"));
  EXPECT_FALSE(ini::writeString(folder / "config.ini", "Init", "CurConfig", "2"));
  EXPECT_FALSE(fileio::writeFileAtomic(folder / "new.ini", "x"));
  ::chmod(folder.c_str(), 0755);
  EXPECT_EQ(readBytes(folder / "config.ini"), "[Init]\nCurConfig=1\n");
  EXPECT_EQ(entries(folder), std::vector<std::string>{"config.ini"});
}

TEST(AtomicWrite, ARefusedIniEditLeavesTheFileAndSaysSo) {
  TempDir dir;
  const fs::path file = dir / "macroGrp.ini";
  writeBytes(file, "[MACRO_GROUP_NUM]\nmacGrpNum=1\n");
  ::chmod(file.c_str(), 0444);
  EXPECT_FALSE(ini::writeString(file, "MACRO_GROUP_NUM", "macGrpNum", "2"));
  EXPECT_EQ(ini::readString(file, "MACRO_GROUP_NUM", "macGrpNum", "", 3), "1");
  // Writing what is there already writes nothing, so it is no failure.
  EXPECT_TRUE(ini::writeString(file, "MACRO_GROUP_NUM", "macGrpNum", "1"));
}

TEST(AtomicWrite, NewFilesGetTheUmasksModeAndNoNameIsLeft) {
  TempDir dir;
  const mode_t before = ::umask(027);
  const bool ok = fileio::writeFileAtomic(dir / "fresh.ini", "x");
  ::umask(before);
  ASSERT_TRUE(ok);
  struct stat st {};
  ASSERT_EQ(::stat((dir / "fresh.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"fresh.ini"});
}

TEST(AtomicWrite, TheNextWriteRemovesTemporariesOfWritersThatAreGone) {
  TempDir dir;
  const std::string dead = ".config.ini.tmp" + std::to_string(test::endedPid()) + "-3";
  const std::string alive = ".config.ini.tmp" + std::to_string(::getppid()) + "-0";  // our parent lives on
  const std::string deadOtherFile = ".Office.dat.tmp" + std::to_string(test::endedPid()) + "-12";
  for (const std::string& name : {dead, alive, deadOtherFile, std::string(".notes.tmp"), std::string("x.tmp1-2")}) {
    writeBytes(dir / name, "half a file");
  }
  ASSERT_TRUE(fileio::writeFileAtomic(dir / "config.ini", "whole"));
  const std::vector<std::string> left = entries(dir.path());
  EXPECT_EQ(left, (std::vector<std::string>{".config.ini.tmp" + std::to_string(::getppid()) + "-0", ".notes.tmp",
                                             "config.ini", "x.tmp1-2"}));
}

TEST(AtomicWrite, OnlyItsOwnNamesCountAsTemporaries) {
  struct Case {
    const char* name;
    bool ours;
  };
  for (const Case c : {Case{".config.ini.tmp123-0", true}, Case{".a.dat.tmp1-99", true}, Case{".x.tmp123-", false},
                       Case{".x.tmp-1", false}, Case{"config.ini.tmp1-1", false}, Case{".x.tmp12a-1", false},
                       Case{".tmp1-1", false}, Case{".x.tmp1234567890-1", false}, Case{"", false}}) {
    EXPECT_EQ(fileio::isOurTemporaryName(c.name), c.ours) << c.name;
  }
}

}  // namespace
}  // namespace quillet
