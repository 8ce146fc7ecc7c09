// Reading INI files: the rules of the private-profile functions, the encodings, the cache and
// hostile input.
#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <string>

#include "core/io/ini.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

using test::TempDir;
using test::writeBytes;

constexpr std::size_t kBig = 256;

// A string literal with its embedded NUL bytes, without the terminating one.
template <std::size_t N>
std::string bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

class IniRead : public ::testing::Test {
 protected:
  std::string read(std::string_view section, std::string_view key, std::string_view def = "<default>",
                   std::size_t buffer = kBig) {
    return ini::readString(file_, section, key, def, buffer);
  }
  void write(std::string_view bytes) { writeBytes(file_, bytes); }

  TempDir dir_;
  std::filesystem::path file_ = dir_ / "test.ini";
};

TEST_F(IniRead, NamesAreCaseInsensitiveAndTrimmed) {
  write("[  Config1 \t]\n  K0 \t=  42 \t\nMiXeD=1\n");
  EXPECT_EQ(read("config1", "k0"), "42");
  EXPECT_EQ(read("CONFIG1", "K0"), "42");
  EXPECT_EQ(read(" Config1 ", " mixed "), "1");
}

TEST_F(IniRead, QuotesCommentsAndLinesWithoutValue) {
  write(
      "; leading comment\n"
      "orphan=before any section\n"
      "[S]\n"
      "dq=\"  quoted  \"\n"
      "sq='single'\n"
      "mismatched=\"open'\n"
      "lonequote=\"\n"
      "inline=5 ; not a comment\n"
      "  ; indented comment=1\n"
      "novalue\n"
      "empty=\n"
      "eq=a=b\n");
  EXPECT_EQ(read("S", "dq"), "  quoted  ");
  EXPECT_EQ(read("S", "sq"), "single");
  EXPECT_EQ(read("S", "mismatched"), "\"open'");
  EXPECT_EQ(read("S", "lonequote"), "\"");
  EXPECT_EQ(read("S", "inline"), "5 ; not a comment");
  EXPECT_EQ(read("S", "; indented comment"), "<default>");
  EXPECT_EQ(read("S", "novalue"), "<default>");
  EXPECT_EQ(read("S", "empty"), "");
  EXPECT_EQ(read("S", "eq"), "a=b");
  EXPECT_EQ(read("", "orphan"), "<default>");
  EXPECT_EQ(read("S", "orphan"), "<default>");
}

TEST_F(IniRead, FirstSectionAndFirstKeyWin) {
  write("[A]\nk=first\nk=second\n[B]\nx=1\n[a]\nk=later section\nonly=in later\n");
  EXPECT_EQ(read("A", "k"), "first");
  // A later section of the same name is never searched.
  EXPECT_EQ(read("A", "only"), "<default>");
  EXPECT_EQ(ini::sectionNames(file_), (std::vector<std::string>{"A", "B"}));
  EXPECT_TRUE(ini::hasSection(file_, "b"));
  EXPECT_FALSE(ini::hasSection(file_, "C"));
}

TEST_F(IniRead, BufferKeepsAtMostOneCharacterLessThanItsSize) {
  write("[S]\nnum=123456789012\ncjk=中文字符\nemoji=a😀b\n");
  EXPECT_EQ(read("S", "num", "", 5), "1234");
  EXPECT_EQ(read("S", "num", "", 10), "123456789");
  EXPECT_EQ(read("S", "num", "", 1), "");
  EXPECT_EQ(read("S", "num", "", 0), "");
  // Characters count, not bytes; a character outside the BMP takes two units and is never split.
  EXPECT_EQ(read("S", "cjk", "", 3), "中文");
  EXPECT_EQ(read("S", "emoji", "", 3), "a");
  EXPECT_EQ(read("S", "emoji", "", 4), "a😀");
  // The default is cut the same way, after its trailing blanks are removed.
  EXPECT_EQ(read("S", "missing", "abcdef  ", 4), "abc");
  EXPECT_EQ(read("S", "missing", "ab  ", kBig), "ab");
}

TEST_F(IniRead, MissingFileSectionOrKeyGivesDefault) {
  EXPECT_EQ(read("S", "k"), "<default>");
  write("[S]\nk=1\n");
  EXPECT_EQ(read("T", "k"), "<default>");
  EXPECT_EQ(read("S", "j"), "<default>");
}

TEST_F(IniRead, LineBreaksOfEveryKind) {
  write("[A]\r\nx=1\r\n[B]\ny=2\n[C]\rz=3\r[D]\r\n\r\nw=4");
  EXPECT_EQ(read("A", "x"), "1");
  EXPECT_EQ(read("B", "y"), "2");
  EXPECT_EQ(read("C", "z"), "3");
  EXPECT_EQ(read("D", "w"), "4");
}

TEST_F(IniRead, EncodingsWrittenByOtherPrograms) {
  write("\xEF\xBB\xBF[S]\nname=宏组一\n");
  EXPECT_EQ(read("S", "name"), "宏组一");

  // UTF-16LE with BOM: "[S]\r\nname=中\r\n"
  std::string utf16("\xFF\xFE", 2);
  for (char16_t c : std::u16string(u"[S]\r\nname=中文\r\n")) {
    utf16.push_back(static_cast<char>(c & 0xFF));
    utf16.push_back(static_cast<char>(c >> 8));
  }
  write(utf16);
  EXPECT_EQ(read("S", "name"), "中文");

  // CP936 ("ANSI" on a Chinese Windows): 中文 is D6 D0 CE C4.
  write("[S]\nname=\xD6\xD0\xCE\xC4\n");
  EXPECT_EQ(read("S", "name"), "中文");
}

TEST_F(IniRead, ToIntFollowsTheCLibrary) {
  EXPECT_EQ(ini::toInt("42abc"), 42);
  EXPECT_EQ(ini::toInt("abc"), 0);
  EXPECT_EQ(ini::toInt(""), 0);
  EXPECT_EQ(ini::toInt("  -17"), -17);
  EXPECT_EQ(ini::toInt("+8"), 8);
  EXPECT_EQ(ini::toInt("- 8"), 0);
  EXPECT_EQ(ini::toInt("99999999999"), 2147483647);
  EXPECT_EQ(ini::toInt("-99999999999"), -2147483647 - 1);
}

TEST_F(IniRead, CacheSeesEveryChangeOnDisk) {
  write("[S]\nk=1\n");
  EXPECT_EQ(read("S", "k"), "1");
  // Same size, same inode, written within the same file-time tick: still seen.
  write("[S]\nk=2\n");
  EXPECT_EQ(read("S", "k"), "2");
  // Replaced by another file (new inode).
  writeBytes(dir_ / "other.ini", "[S]\nk=3\n");
  std::filesystem::rename(dir_ / "other.ini", file_);
  EXPECT_EQ(read("S", "k"), "3");
  std::filesystem::remove(file_);
  EXPECT_EQ(read("S", "k"), "<default>");
  write("[S]\nk=4\n");
  EXPECT_EQ(read("S", "k"), "4");
}

TEST_F(IniRead, CacheSwitchedOffReadsTheSame) {
  write("[S]\nk=1\n");
  ini::setCacheEnabled(false);
  EXPECT_EQ(read("S", "k"), "1");
  write("[S]\nk=2\n");
  EXPECT_EQ(read("S", "k"), "2");
  ini::setCacheEnabled(true);
  EXPECT_EQ(read("S", "k"), "2");
}

TEST_F(IniRead, HostileInputReadsAsMissingOrEmpty) {
  // Binary garbage with NUL bytes and broken sequences.
  std::string garbage;
  for (int i = 0; i < 4096; ++i) {
    garbage.push_back(static_cast<char>((i * 7919) & 0xFF));
  }
  write(garbage);
  EXPECT_EQ(read("S", "k"), "<default>");

  // NUL bytes inside a valid file do not hide the lines around them.
  write(bytes("[S]\na=1\n\0\0\0\nb=2\n"));
  EXPECT_EQ(read("S", "a"), "1");
  EXPECT_EQ(read("S", "b"), "2");

  // A line as long as a file may be, and a file one byte too large: no file of the utility is
  // that large, so it reads as missing and is never written over.
  const std::string head = "[S]\nk=ok\nlong=";
  write(head + std::string(ini::kMaxFileBytes - head.size() - 1, 'x') + "\n");
  EXPECT_EQ(read("S", "long", "", 5), "xxxx");
  EXPECT_EQ(read("S", "k"), "ok");
  EXPECT_FALSE(ini::isTooLarge(file_));
  write(head + std::string(ini::kMaxFileBytes - head.size(), 'x') + "\n");
  EXPECT_TRUE(ini::isTooLarge(file_));
  EXPECT_EQ(read("S", "k"), "<default>");
  EXPECT_FALSE(ini::writeString(file_, "S", "k", "1"));
  EXPECT_EQ(std::filesystem::file_size(file_), ini::kMaxFileBytes + 1);

  // A UTF-16 file of odd length, and a BOM alone.
  write(bytes("\xFF\xFE[\0S\0]\0\n\0k\0=\0" "1\0x"));
  EXPECT_EQ(read("S", "k"), "1");
  ASSERT_TRUE(ini::writeString(file_, "S", "j", "2")) << "lines added before the odd byte stay aligned";
  EXPECT_EQ(read("S", "k"), "1");
  EXPECT_EQ(read("S", "j"), "2");
  write("\xFF\xFE");
  EXPECT_EQ(read("S", "k"), "<default>");

  // A folder or a named pipe where the file should be (a read must not wait for a writer).
  std::filesystem::create_directory(dir_ / "folder.ini");
  EXPECT_EQ(ini::readString(dir_ / "folder.ini", "S", "k", "d", kBig), "d");
#if !defined(_WIN32)  // Windows has no named pipes among the files, nor file modes
  ASSERT_EQ(::mkfifo((dir_ / "pipe.ini").c_str(), 0600), 0);
  EXPECT_EQ(ini::readString(dir_ / "pipe.ini", "S", "k", "d", kBig), "d");
#endif
}

#if !defined(_WIN32)
TEST_F(IniRead, UnreadableFileReadsAsMissing) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "root reads every file";
  }
  write("[S]\nk=1\n");
  ::chmod(file_.c_str(), 0);
  EXPECT_EQ(read("S", "k"), "<default>");
}
#endif

}  // namespace
}  // namespace quillet
