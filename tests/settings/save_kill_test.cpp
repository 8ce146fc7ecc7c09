// Writers killed at random moments while they save: every settings file, group list and group
// file is afterwards byte for byte the old or the new one, and no temporary file outlives the
// next write into its folder.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "core/io/file_io.h"
#include "core/macro/group_list.h"
#include "core/macro/macro_file.h"
#include "core/settings/settings_file.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using test::readBytes;

// One consistent state of the three files a save writes.
struct Version {
  ProfileSettings settings;
  MacroGroupList list;
  OpenGroup group;
};

Version version(AppState& app, int n) {
  Version v;
  loadSettings(app.configPath, 1, false, v.settings, app);
  v.settings.pointerSpeed = static_cast<std::uint8_t>(n);
  v.settings.fireTime = 100 + n;
  v.settings.buttonFunction[2][3] = 22 + n;
  v.list.groupCount = static_cast<std::uint8_t>(2 + n);
  for (int i = 0; i < v.list.groupCount; ++i) {
    v.list.names[static_cast<std::size_t>(i)] = "Group" + std::to_string(n) + "-" + std::to_string(i);
  }
  // The editor's save: the macro being edited, in a group of three.
  v.group.count = 3;
  setMacroName(v.group.slots[0], "macro " + std::to_string(n));
  v.group.slots[0].loopCount = static_cast<std::uint16_t>(7 + n);
  return v;
}

void save(AppState& app, const fs::path& macroFolder, const Version& v) {
  ASSERT_TRUE(saveSettings(app.configPath, 1, v.settings, app));
  ASSERT_TRUE(writeGroupList(macroFolder, v.list));
  ASSERT_TRUE(writeMacro(macroFolder / "Gaming.dat", v.group, 0));
}

struct Snapshot {
  std::string config, list, group;
  bool operator<(const Snapshot& o) const {
    return std::tie(config, list, group) < std::tie(o.config, o.list, o.group);
  }
};

Snapshot take(const AppState& app, const fs::path& macroFolder) {
  return {readBytes(app.configPath), readBytes(macroFolder / "macroGrp.ini"), readBytes(macroFolder / "Gaming.dat")};
}

int temporaries(const fs::path& folder) {
  int n = 0;
  for (const fs::directory_entry& e : fs::directory_iterator(folder)) {
    n += fileio::isOurTemporaryName(e.path().filename().string()) ? 1 : 0;
  }
  return n;
}

// A scratch folder in memory where there is one: a kill does not lose the page cache, so what
// the disk would add is only time.
fs::path scratchRoot() {
  std::error_code ec;
  if (fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0) {
    return "/dev/shm";
  }
  return fs::temp_directory_path();
}

TEST(SaveKill, EveryFileIsTheOldOrTheNewOneWhereverTheWriterDies) {
  std::string pattern = (scratchRoot() / "quillet-kill-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const fs::path root = pattern;
  struct Cleanup {
    fs::path path;
    ~Cleanup() {
      std::error_code ec;
      fs::remove_all(path, ec);
    }
  } cleanup{root};

  fs::copy(fs::path(QUILLET_SOURCE_DIR) / "skins" / "config", root / "config");
  fs::create_directories(root / "macro");
  AppState app;
  app.setSkinFolder(root);
  const fs::path macroFolder = root / "macro";

  // Each version's bytes, as a save that runs to its end leaves them.
  const Version a = version(app, 0);
  const Version b = version(app, 1);
  save(app, macroFolder, b);
  const Snapshot bytesB = take(app, macroFolder);
  save(app, macroFolder, a);
  const Snapshot bytesA = take(app, macroFolder);
  ASSERT_NE(bytesA.config, bytesB.config);
  ASSERT_NE(bytesA.list, bytesB.list);
  ASSERT_NE(bytesA.group, bytesB.group);

  // How long one round of saves takes, so that the kills fall anywhere in a round.
  const auto started = std::chrono::steady_clock::now();
  save(app, macroFolder, b);
  save(app, macroFolder, a);
  const auto round = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);

  constexpr unsigned kSeed = 0x5EED736;
  constexpr int kKills = 300;
  std::mt19937 random(kSeed);
  std::uniform_int_distribution<long> moment(0, std::max<long>(round.count(), 200));
  std::set<std::string> configs{bytesA.config, bytesB.config};
  std::set<std::string> lists{bytesA.list, bytesB.list};
  std::set<std::string> groups{bytesA.group, bytesB.group};
  int leftovers = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    SCOPED_TRACE(testing::Message() << "seed " << kSeed << ", kill " << kill);
    // A copy of this process that saves without end, so that the kill falls inside a save.
    test::ChildProcess writer = test::ChildProcess::fork([&] {
      for (;;) {
        save(app, macroFolder, b);
        save(app, macroFolder, a);
      }
    });
    ASSERT_TRUE(writer.started());
    std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
    writer.stop(SIGKILL);

    const Snapshot now = take(app, macroFolder);
    ASSERT_TRUE(configs.count(now.config)) << "config.ini is neither the old nor the new one";
    ASSERT_TRUE(lists.count(now.list)) << "macroGrp.ini is neither the old nor the new one";
    ASSERT_TRUE(groups.count(now.group)) << "Gaming.dat is neither the old nor the new one";

    // A kill between a temporary file's naming and its rename leaves the name; the next write
    // into the folder removes it (a save that changes nothing writes nothing: one of the two
    // saves here writes each file).
    leftovers += temporaries(root / "config") + temporaries(macroFolder);
    save(app, macroFolder, b);
    save(app, macroFolder, a);
    ASSERT_EQ(temporaries(root / "config"), 0);
    ASSERT_EQ(temporaries(macroFolder), 0);
  }
  RecordProperty("named_temporaries_left_by_kills", leftovers);
}

}  // namespace
}  // namespace quillet
