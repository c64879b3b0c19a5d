// A whole run of the loaders and the repair, in Main's order, over a file system that
// crashes at operation N, for every N of the run: afterwards every game file on the
// disk, whichever pending operations survived, is one of the complete versions a
// fault-free run passes through, and each of those is protected.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "platform/seam.h"
#include "platform/testing/fault_fs.h"
#include "repair/fix_character_file.h"
#include "runtime/binary_file.h"
#include "settings/installation_settings.h"
#include "system/master_system_header.h"
#include "system/system_load.h"
#include "system/system_state.h"
#include "tools/installation_fixture.h"

namespace tollwick {
namespace {

namespace fs = std::filesystem;
using testing::FaultFs;
using Files = std::map<std::string, std::string>;

constexpr const char* kRoot = "G\\System\\";

class CrashSweepTest : public kit::InstallationFixture {
 protected:
  CrashSweepTest() {
    kit::InstallationSpec spec;
    spec.characters.live = 3;
    spec.characters.leadingSpaces = 1;
    spec.characters.deadNulName = 1;
    spec.characters.deadEmptySlot = 1;
    spec.characters.gap = 50;
    // Files that carry 0 are rewritten by the check, so the run changes them twice.
    spec.unsignedFiles = {"ZELKORCharacters.DED", "ZELKORDungeon.DED"};
    install(spec);
    header_ = systemState().header;
    for (const auto& entry : fs::recursive_directory_iterator(systemRoot())) {
      if (!entry.is_regular_file()) continue;
      std::string key = kRoot + fs::relative(entry.path(), systemRoot()).string();
      for (char& c : key) {
        if (c == '/') c = '\\';
      }
      const auto bytes = fileBytes(entry.path().string()).value();
      original_[key] = std::string(bytes.begin(), bytes.end());
    }
  }

  void load(FaultFs& faultFs) const {
    faultFs.addDirectory("G\\System\\Zelkor");
    for (const auto& [path, bytes] : original_) faultFs.putFile(path, bytes);
  }

  // One run as Main makes it, from the master system header to the repair.
  void fullRun() {
    abandonAllFiles();
    resetSystemState();
    dialog_.boxes.clear();
    installationSettings().systemRootDirectory = kRoot;
    installationSettings().currentSystemDirectory = "Zelkor\\";
    try {
      if (sysLoadMasterSystemHeader() != 0) return;
      std::string directory = installationSettings().currentSystemDirectory;
      if (sysLoadSystem(directory) != 0) return;
      sysFixBloatedCharacterFile(systemState().header);
    } catch (const testing::ProgramEnded&) {
    }
    abandonAllFiles();  // the process is gone: nothing still open is committed
  }

  static bool isGameFile(const std::string& path) {
    const std::string name = path.substr(path.find_last_of('\\') + 1);
    return !name.empty() && name[0] != '.';
  }

  Files original_;
  SystemHeaderRecord header_;
};

TEST_F(CrashSweepTest, EveryGameFileIsACompleteProtectedVersionAfterACrashAnywhere) {
  // The fault-free run: the versions of each file, and how many operations it makes.
  std::map<std::string, std::set<std::string>> versions;
  for (const auto& [path, bytes] : original_) versions[path].insert(bytes);
  int64_t operations = 0;
  {
    FaultFs faultFs;
    load(faultFs);
    platform::Installed<platform::FileSystem> installed(faultFs);
    // Phase by phase, to collect the versions in between.
    fullRun();
    operations = faultFs.operations();
    for (const auto& [path, bytes] : faultFs.visibleFiles()) {
      ASSERT_TRUE(isGameFile(path)) << "left behind: " << path;
      versions[path].insert(bytes);
    }
    ASSERT_FALSE(faultFs.visibleFile(std::string(kRoot) + "Zelkor\\ZELKORCharactersTemp.DED"));
  }
  ASSERT_GT(operations, 20);
  // After the data file check alone the character file and the unsigned data file are
  // restamped: that complete version is allowed too.
  {
    FaultFs faultFs;
    load(faultFs);
    platform::Installed<platform::FileSystem> installed(faultFs);
    installationSettings().systemRootDirectory = kRoot;
    resetSystemState();
    ASSERT_EQ(sysLoadMasterSystemHeader(), 0);
    std::string directory = "Zelkor\\";
    ASSERT_EQ(sysLoadSystem(directory), 0);
    for (const auto& [path, bytes] : faultFs.visibleFiles()) versions[path].insert(bytes);
  }
  const std::string temp = std::string(kRoot) + "Zelkor\\" + kCharacterTempFileName;
  const std::string characters = std::string(kRoot) + "Zelkor\\" + kCharacterFileName;
  ASSERT_EQ(versions[characters].size(), 3u);  // bloated, restamped, compacted

  int crashes = 0;
  for (int64_t n = 1; n <= operations; ++n) {
    FaultFs faultFs;
    load(faultFs);
    faultFs.crashAt(n);
    {
      platform::Installed<platform::FileSystem> installed(faultFs);
      fullRun();
    }
    ASSERT_TRUE(faultFs.faultFired()) << n;
    ++crashes;
    for (auto survivors : {FaultFs::Survivors::kNone, FaultFs::Survivors::kAll,
                           FaultFs::Survivors::kSeededSubset}) {
      const Files disk = faultFs.diskAfterCrash(survivors, static_cast<uint32_t>(n));
      for (const auto& [path, bytes] : original_) {
        const auto found = disk.find(path);
        ASSERT_NE(found, disk.end()) << path << " missing after a crash at " << n;
        ASSERT_TRUE(versions[path].count(found->second))
            << path << " is no complete version after a crash at " << n;
      }
      for (const auto& [path, bytes] : disk) {
        if (!isGameFile(path) || original_.count(path)) continue;
        // The compacted copy may be left if the crash came before its rename.
        ASSERT_EQ(path, temp) << "crash at " << n;
        ASSERT_TRUE(versions[characters].count(bytes)) << "temp incomplete, crash at " << n;
      }
    }
  }
  EXPECT_EQ(crashes, operations);

  // Every version met is a protected file that unprotects with its key.
  for (const auto& [path, set] : versions) {
    for (const std::string& bytes : set) {
      FaultFs faultFs;
      faultFs.putFile(path, bytes);
      platform::Installed<platform::FileSystem> installed(faultFs);
      systemState().header = header_;
      const bool fixedKey = path.ends_with(".MSF");
      EXPECT_TRUE(plainImage(path, 0, fixedKey).has_value()) << path;
    }
  }
}

}  // namespace
}  // namespace tollwick
