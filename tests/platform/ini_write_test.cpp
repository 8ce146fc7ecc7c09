// Writing INI files: what changes, what stays byte for byte, encodings kept, atomic replacement.
#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/io/file_io.h"
#include "core/io/ini.h"
#include "core/io/ini_text.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;

class IniWrite : public ::testing::Test {
 protected:
  std::string read(std::string_view section, std::string_view key) {
    return ini::readString(file_, section, key, "<default>", 256);
  }
  std::string contents() const { return readBytes(file_); }

  TempDir dir_;
  std::filesystem::path file_ = dir_ / "test.ini";
};

TEST_F(IniWrite, CreatesFileAndSections) {
  ASSERT_TRUE(ini::writeString(file_, "Init", "CurConfig", "1"));
  ASSERT_TRUE(ini::writeString(file_, "Init", "VER_SEL", "0"));
  ASSERT_TRUE(ini::writeString(file_, "Config1", "K0", "1"));
  EXPECT_EQ(contents(), "[Init]\nCurConfig=1\nVER_SEL=0\n[Config1]\nK0=1\n");
}

TEST_F(IniWrite, ReplacesInPlaceAndKeepsEveryOtherByte) {
  const std::string original =
      "; settings\r\n"
      "[Init]\r\n"
      "  curconfig = 3   \r\n"
      "VER_SEL=1\r\n"
      "\r\n"
      "; profile one\r\n"
      "[Config1]\r\n"
      "K0=1";
  writeBytes(file_, original);
  ASSERT_TRUE(ini::writeString(file_, "INIT", "CurConfig", "2"));
  // The key keeps its spelling; the line loses only its old value.
  EXPECT_EQ(contents(),
            "; settings\r\n[Init]\r\ncurconfig=2\r\nVER_SEL=1\r\n\r\n; profile one\r\n[Config1]\r\nK0=1");
  EXPECT_EQ(read("Init", "CurConfig"), "2");
}

TEST_F(IniWrite, NewKeysGoAfterTheLastKeyOfTheirSection) {
  writeBytes(file_, "[A]\nx=1\n\n; about B\n[B]\ny=2\n[C]\n");
  ASSERT_TRUE(ini::writeString(file_, "a", "z", "3"));
  ASSERT_TRUE(ini::writeString(file_, "C", "w", "4"));
  EXPECT_EQ(contents(), "[A]\nx=1\nz=3\n\n; about B\n[B]\ny=2\n[C]\nw=4\n");
}

TEST_F(IniWrite, LastLineWithoutBreakGetsOne) {
  writeBytes(file_, "[A]\r\nx=1");
  ASSERT_TRUE(ini::writeString(file_, "A", "y", "2"));
  ASSERT_TRUE(ini::writeString(file_, "B", "z", "3"));
  EXPECT_EQ(contents(), "[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n");
}

TEST_F(IniWrite, WritesGoToTheFirstSectionOfAName) {
  writeBytes(file_, "[A]\nk=1\n[A]\nk=2\n");
  ASSERT_TRUE(ini::writeString(file_, "A", "k", "9"));
  ASSERT_TRUE(ini::writeString(file_, "A", "new", "x"));
  EXPECT_EQ(contents(), "[A]\nk=9\nnew=x\n[A]\nk=2\n");
}

TEST_F(IniWrite, DeletesKeysAndSections) {
  writeBytes(file_, "[A]\nx=1\ny=2\n[B]\n; comment of B\nz=3\n[C]\nw=4\n");
  ASSERT_TRUE(ini::deleteKey(file_, "A", "X"));
  EXPECT_EQ(contents(), "[A]\ny=2\n[B]\n; comment of B\nz=3\n[C]\nw=4\n");
  ASSERT_TRUE(ini::deleteSection(file_, "b"));
  EXPECT_EQ(contents(), "[A]\ny=2\n[C]\nw=4\n");
  // Deleting what is not there changes nothing and succeeds.
  ASSERT_TRUE(ini::deleteKey(file_, "A", "nope"));
  ASSERT_TRUE(ini::deleteSection(file_, "Nope"));
  EXPECT_EQ(contents(), "[A]\ny=2\n[C]\nw=4\n");
  EXPECT_EQ(read("B", "z"), "<default>");

  // A section held twice goes whole: its second copy would otherwise read where it was removed.
  writeBytes(file_, "[A]\nk=1\n[B]\nz=3\n[a]\nk=2\n");
  ASSERT_TRUE(ini::deleteSection(file_, "A"));
  EXPECT_EQ(contents(), "[B]\nz=3\n");
  EXPECT_EQ(read("A", "k"), "<default>");
}

TEST_F(IniWrite, BatchIsOneReplacementInOrder) {
  writeBytes(file_, "[A]\nx=1\n");
  ini::WriteBatch batch(file_);
  batch.set("A", "x", "2").set("B", "y", "3").removeKey("A", "x").set("A", "x", "4");
  ASSERT_TRUE(batch.commit());
  EXPECT_EQ(contents(), "[A]\nx=4\n[B]\ny=3\n");
}

TEST_F(IniWrite, RefusesEditsThatWouldBreakTheFile) {
  writeBytes(file_, "[A]\nx=1\n");
  EXPECT_FALSE(ini::writeString(file_, "A", "x", "1\n[Evil]\nk=v"));
  EXPECT_FALSE(ini::writeString(file_, "A", "k=v", "1"));
  EXPECT_FALSE(ini::writeString(file_, "A]", "k", "1"));
  EXPECT_FALSE(ini::writeString(file_, "", "k", "1"));
  EXPECT_FALSE(ini::writeString(file_, "A", " ", "1"));
  EXPECT_FALSE(ini::writeString(file_, "A", "k", std::string("a\0b", 3)));
  // A refused edit in a batch refuses the whole batch.
  EXPECT_FALSE(ini::WriteBatch(file_).set("A", "ok", "1").set("A", "bad\r", "2").commit());
  EXPECT_EQ(contents(), "[A]\nx=1\n");
}

TEST_F(IniWrite, KeepsTheFilesEncoding) {
  // UTF-8 with BOM.
  writeBytes(file_, "\xEF\xBB\xBF[组]\nname=旧\n");
  ASSERT_TRUE(ini::writeString(file_, "组", "name", "新名字"));
  EXPECT_EQ(contents(), "\xEF\xBB\xBF[组]\nname=新名字\n");

  // UTF-16LE stays UTF-16LE.
  auto utf16 = [](std::u16string_view text) {
    std::string out("\xFF\xFE", 2);
    for (char16_t c : text) {
      out.push_back(static_cast<char>(c & 0xFF));
      out.push_back(static_cast<char>(c >> 8));
    }
    return out;
  };
  writeBytes(file_, utf16(u"[S]\r\nname=一\r\nkeep=二\r\n"));
  ASSERT_TRUE(ini::writeString(file_, "S", "name", "三"));
  ASSERT_TRUE(ini::writeString(file_, "S", "added", "x"));
  EXPECT_EQ(contents(), utf16(u"[S]\r\nname=三\r\nkeep=二\r\nadded=x\r\n"));
  EXPECT_EQ(read("S", "name"), "三");

  // CP936 stays CP936; other lines keep their bytes.
  writeBytes(file_, "[S]\nname=\xD6\xD0\nkeep=\xCE\xC4\n");
  ASSERT_TRUE(ini::writeString(file_, "S", "name", "文中"));
  EXPECT_EQ(contents(), "[S]\nname=\xCE\xC4\xD6\xD0\nkeep=\xCE\xC4\n");
}

TEST_F(IniWrite, ReplacementIsAtomicAndFailureLeavesTheOldFile) {
  writeBytes(file_, "[A]\nx=1\n");
#if defined(_WIN32)  // Windows has no file modes to keep
  ASSERT_TRUE(ini::writeString(file_, "A", "x", "2"));
#else
  ::chmod(file_.c_str(), 0640);
  ASSERT_TRUE(ini::writeString(file_, "A", "x", "2"));
  struct stat st {};
  ASSERT_EQ(::stat(file_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u) << "permissions kept";
#endif
  // No temporary file is left behind.
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"test.ini"});

  // A folder that does not exist, and a folder where the file should be.
  EXPECT_FALSE(ini::writeString(dir_ / "missing" / "x.ini", "A", "x", "1"));
  std::filesystem::create_directory(dir_ / "folder.ini");
  EXPECT_FALSE(ini::writeString(dir_ / "folder.ini", "A", "x", "1"));
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "folder.ini"));
#if !defined(_WIN32)  // Windows has no named pipes among the files
  ASSERT_EQ(::mkfifo((dir_ / "pipe.ini").c_str(), 0600), 0);
  EXPECT_FALSE(ini::writeString(dir_ / "pipe.ini", "A", "x", "1"));
  EXPECT_TRUE(std::filesystem::is_fifo(dir_ / "pipe.ini"));
#endif
}

TEST_F(IniWrite, FollowsSymbolicLinks) {
  writeBytes(dir_ / "real.ini", "[A]\nx=1\n");
  std::error_code linkError;
  std::filesystem::create_symlink("real.ini", file_, linkError);
  if (linkError) {
    // Windows makes symbolic links only for the privileged (and MinGW's library not at all).
    GTEST_SKIP() << "no symbolic link here: " << linkError.message();
  }
  ASSERT_TRUE(ini::writeString(file_, "A", "x", "2"));
  EXPECT_TRUE(std::filesystem::is_symlink(file_));
  EXPECT_EQ(readBytes(dir_ / "real.ini"), "[A]\nx=2\n");
}

#if !defined(_WIN32)
TEST_F(IniWrite, NeverReplacesAFileItCannotRead) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "root reads every file";
  }
  writeBytes(file_, "[A]\nprecious=1\n");
  ::chmod(file_.c_str(), 0200);
  EXPECT_FALSE(ini::writeString(file_, "A", "x", "2"));
  ::chmod(file_.c_str(), 0600);
  EXPECT_EQ(contents(), "[A]\nprecious=1\n");
}
#endif

TEST_F(IniWrite, ConcurrentWritersLoseNoEdit) {
  constexpr int kThreads = 4;
  constexpr int kKeys = 25;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([this, t] {
      for (int k = 0; k < kKeys; ++k) {
        ASSERT_TRUE(ini::writeString(file_, "S", "t" + std::to_string(t) + "k" + std::to_string(k), std::to_string(k)));
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  for (int t = 0; t < kThreads; ++t) {
    for (int k = 0; k < kKeys; ++k) {
      EXPECT_EQ(read("S", "t" + std::to_string(t) + "k" + std::to_string(k)), std::to_string(k));
    }
  }
}

TEST(FileIo, ReadRefusesWhatIsNotARegularFile) {
  TempDir dir;
  EXPECT_FALSE(fileio::readFile(dir.path()));
  EXPECT_FALSE(fileio::readFile(dir / "missing"));
  EXPECT_FALSE(fileio::readFile("/dev/zero"));
  writeBytes(dir / "f", "abc");
  EXPECT_EQ(fileio::readFile(dir / "f"), "abc");
}

}  // namespace
}  // namespace quillet

namespace quillet {
namespace {

// What the index holds, for comparing two of them.
std::string indexOf(const ini::detail::Document& doc) {
  std::string out;
  for (const ini::detail::Section& s : doc.sections) {
    const std::string name(doc.sectionName(s));
    out += "[" + name + "]@" + std::to_string(s.headerLine) + " first=" +
           std::to_string(doc.findSection(name) - doc.sections.data()) + "\n";
    for (const ini::detail::Key& k : s.keys) {
      const std::string key(doc.keyName(k));
      const std::optional<std::string_view> value = doc.keyValue(k);
      out += "  " + key + (value ? "=" + std::string(*value) : "") + "@" + std::to_string(k.line) + " first=" +
             std::to_string(doc.findKey(s, key) - s.keys.data()) + "\n";
    }
    std::string order;
    for (const std::uint32_t i : s.byName) {
      order += std::to_string(i) + ",";
    }
    out += "  order " + order + "\n";
  }
  for (const std::uint32_t i : doc.sectionsByName) {
    out += std::to_string(i) + ",";
  }
  return out;
}

TEST(IniEdits, LinesThatAreNeverReadCostOneEntryPerRun) {
  // The largest file taken, nearly all blank lines and comments in every line-break style and
  // encoding: it parses into a handful of entries (one per run of lines never read, one per key
  // or header), reads and writes as any file, and gives back its bytes.
  struct Case {
    const char* name;
    std::string lineBreak;
    std::string bom;
  };
  for (const Case& c : std::vector<Case>{{"LF", "\n", ""}, {"CR LF", "\r\n", ""}, {"CR", "\r", ""},
                                         {"BOM", "\n", "\xEF\xBB\xBF"}}) {
    SCOPED_TRACE(c.name);
    std::string text = c.bom + "; head" + c.lineBreak + "stray=before" + c.lineBreak + "[S]" + c.lineBreak;
    const std::string run = c.lineBreak + c.lineBreak + " ; note" + c.lineBreak + "\t" + c.lineBreak;
    while (text.size() + run.size() + 40 < ini::kMaxFileBytes) {
      text += run;
    }
    text += "k = 1" + c.lineBreak + c.lineBreak + "[T]" + c.lineBreak + "j=2";
    auto doc = ini::detail::parse(text);
    EXPECT_EQ(doc->lines.size(), 7u);  // a run, [S], a run, k, a run, [T], j
    EXPECT_EQ(doc->serialise(), text);
    EXPECT_EQ(ini::detail::readString(doc.get(), "S", "k", "", 8), "1");
    EXPECT_EQ(ini::detail::readString(doc.get(), "T", "j", "", 8), "2");
    EXPECT_EQ(ini::detail::readString(doc.get(), "S", "stray", "none", 8), "none");
    ini::detail::apply(*doc, {ini::Edit::Kind::Set, "S", "added", "3"});
    ini::detail::apply(*doc, {ini::Edit::Kind::Set, "U", "new", "4"});
    const std::string written = doc->serialise();
    const auto again = ini::detail::parse(written);
    EXPECT_EQ(ini::detail::readString(again.get(), "S", "added", "", 8), "3");
    EXPECT_EQ(ini::detail::readString(again.get(), "U", "new", "", 8), "4");
    // The new key follows the last key of its section, before the lines after it; new lines
    // take the file's line break.
    EXPECT_NE(written.find("k = 1" + c.lineBreak + "added=3" + c.lineBreak + c.lineBreak + "[T]"), std::string::npos);
    EXPECT_TRUE(written.ends_with("j=2" + c.lineBreak + "[U]" + c.lineBreak + "new=4" + c.lineBreak));
  }
}

TEST(IniEdits, EveryEditLeavesTheIndexARebuildWouldMake) {
  // Random files and random edits of a few names (in any case), checked against the index built
  // from scratch from the edited lines.
  const std::vector<std::string> names = {"A", "a", "Config1", "config1", "B", "K0", "k0", " x ", "[y]", ";z"};
  const std::vector<std::string> lines = {"[A]", "[a]", "[Config1]", "K0=1", "k0 = 2", "x=", "; note", "", "B",
                                          "[B] tail", "junk=[1]", "[c"};
  std::mt19937 random(20241209);
  for (int round = 0; round < 400; ++round) {
    std::string text;
    for (int n = static_cast<int>(random() % 12); n > 0; --n) {
      text += lines[random() % lines.size()] + (random() % 5 == 0 ? "\r\n" : "\n");
    }
    auto doc = ini::detail::parse(text);
    for (int e = 0; e < 8; ++e) {
      const auto kind = static_cast<ini::Edit::Kind>(random() % 3);
      const ini::Edit edit{kind, names[random() % 5], names[random() % names.size()], std::to_string(random() % 100)};
      if (!ini::detail::validEdit(edit)) {
        continue;
      }
      ini::detail::apply(*doc, edit);
      ini::detail::Document rebuilt = *doc;
      rebuilt.index();
      ASSERT_EQ(indexOf(*doc), indexOf(rebuilt)) << "round " << round << " edit " << e << " of\n" << text;
      ASSERT_EQ(ini::detail::parse(doc->serialise())->serialise(), doc->serialise());
    }
  }
}

}  // namespace
}  // namespace quillet
