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
#include "platform/testing/fault_sweep.h"
#include "repair/fix_character_file.h"
#include "runtime/binary_file.h"
#include "settings/installation_settings.h"
#include "system/master_system_header.h"
#include "system/system_load.h"
#include "system/system_state.h"
#include "tools/testing/installation_fixture.h"

namespace tollwick {
namespace {

namespace fs = std::filesystem;
using testing::FaultFs;
using testing::FaultRun;
using testing::sweepFaults;
using Files = std::map<std::string, std::string>;

constexpr const char* kRoot = "G\\System\\";

class CrashSweepTest : public kit::InstallationFixture {
 protected:
  CrashSweepTest() {
    kit::InstallationOptions options;
    options.characters.live = 3;
    options.characters.leadingSpaces = 1;
    options.characters.deadNulName = 1;
    options.characters.deadEmptySlot = 1;
    options.characters.gap = 50;
    // Files that carry 0 are rewritten by the check, so the run changes them twice.
    options.unsignedFiles = {"ZELKORCharacters.DED", "ZELKORDungeon.DED"};
    install(options);
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
    faultFs.exchangeFiles(exchanges_);
    faultFs.addDirectory("G\\System\\Zelkor");
    for (const auto& [path, bytes] : original_) faultFs.putFile(path, bytes);
  }

  // One run as Main makes it, from the master system header to the repair; true when
  // the repair ran to its end.
  bool fullRun() {
    abandonAllFiles();
    resetSystemState();
    dialog_.boxes.clear();
    installationSettings().systemRootDirectory = kRoot;
    installationSettings().currentSystemDirectory = "Zelkor\\";
    bool ended = false;
    try {
      std::string directory = installationSettings().currentSystemDirectory;
      ended = sysLoadMasterSystemHeader() == LoadResult::kLoaded &&
              sysLoadSystem(directory) == LoadResult::kLoaded &&
              sysFixBloatedCharacterFile(systemState().header) == RepairResult::kRepaired;
    } catch (const testing::ProgramEnded&) {
    }
    abandonAllFiles();  // the process is gone: nothing still open is committed
    return ended;
  }

  static bool isGameFile(const std::string& path) {
    const std::string name = path.substr(path.find_last_of('\\') + 1);
    return !name.empty() && name[0] != '.';
  }

  Files original_;
  SystemHeaderRecord header_;
  // Whether the file system exchanges files (as Linux's does: every replacement goes
  // through a swap) or only renames them.
  bool exchanges_ = false;

  // The versions of each file that a fault-free run passes through (each committed
  // whole by the file layer), and the number of file-system operations of the run.
  void collectVersions() {
    for (const auto& [path, bytes] : original_) versions_[path].insert(bytes);
    {
      FaultFs faultFs;
      load(faultFs);
      platform::Installed<platform::FileSystem> installed(faultFs);
      ASSERT_TRUE(fullRun());
      operations_ = faultFs.operations();
      for (const auto& [path, bytes] : faultFs.visibleFiles()) {
        ASSERT_TRUE(isGameFile(path)) << "left behind: " << path;
        versions_[path].insert(bytes);
      }
      ASSERT_FALSE(faultFs.visibleFile(temp()));
    }
    // After the data file check alone the character file and the unsigned data file
    // carry the system signature: that complete version is met too.
    FaultFs faultFs;
    load(faultFs);
    platform::Installed<platform::FileSystem> installed(faultFs);
    installationSettings().systemRootDirectory = kRoot;
    resetSystemState();
    ASSERT_EQ(sysLoadMasterSystemHeader(), LoadResult::kLoaded);
    std::string directory = "Zelkor\\";
    ASSERT_EQ(sysLoadSystem(directory), LoadResult::kLoaded);
    for (const auto& [path, bytes] : faultFs.visibleFiles()) versions_[path].insert(bytes);
    ASSERT_EQ(versions_[characters()].size(), 3u);  // bloated, restamped, compacted
    ASSERT_GT(operations_, 20);
  }

  // Every game file is present and one of its complete versions; the only other file
  // allowed is the compacted copy, complete, left when the run stopped before its rename.
  void expectCompleteVersions(const Files& disk, int64_t n) {
    for (const auto& [path, bytes] : original_) {
      const auto found = disk.find(path);
      ASSERT_NE(found, disk.end()) << path << " missing, operation " << n;
      ASSERT_TRUE(versions_[path].count(found->second))
          << path << " is no complete version, operation " << n;
    }
    for (const auto& [path, bytes] : disk) {
      if (!isGameFile(path) || original_.count(path)) continue;
      ASSERT_EQ(path, temp()) << "operation " << n;
      ASSERT_TRUE(versions_[characters()].count(bytes)) << "temp incomplete, operation " << n;
    }
  }

  static std::string characters() { return std::string(kRoot) + "Zelkor\\" + kCharacterFileName; }
  static std::string temp() { return std::string(kRoot) + "Zelkor\\" + kCharacterTempFileName; }

  std::map<std::string, std::set<std::string>> versions_;
  int64_t operations_ = 0;
};

TEST_F(CrashSweepTest, EveryGameFileIsACompleteProtectedVersionAfterACrashAnywhere) {
  for (const bool exchanges : {false, true}) {
    SCOPED_TRACE(exchanges ? "replaced by exchange" : "replaced by rename");
    exchanges_ = exchanges;
    collectVersions();
    RecordProperty("operations", std::to_string(operations_));
    const int64_t runs = sweepFaults(
        [this](FaultFs& faultFs) { load(faultFs); },
        [](FaultFs& faultFs, int64_t n) { faultFs.crashAt(n); }, [this] { return fullRun(); },
        [this](const FaultRun& run) {
          if (!run.fs.faultFired()) return;
          for (auto survivors : {FaultFs::Survivors::kNone, FaultFs::Survivors::kAll,
                                 FaultFs::Survivors::kSeededSubset}) {
            expectCompleteVersions(
                run.fs.diskAfterCrash(survivors, static_cast<uint32_t>(run.operation)),
                run.operation);
          }
        });
    EXPECT_EQ(runs, operations_ + 1);  // a crash at every operation of the fault-free run
  }

  // Every version met is a protected file that unprotects with its key.
  for (const auto& [path, set] : versions_) {
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

namespace tollwick {
namespace {

// A failing operation (not a crash): the run reports it and stops, and what programs
// see afterwards is still only complete versions, with no hidden temporary file left.
TEST_F(CrashSweepTest, AFailedOperationAnywhereLeavesOnlyCompleteVersions) {
  for (const bool exchanges : {false, true}) {
    SCOPED_TRACE(exchanges ? "replaced by exchange" : "replaced by rename");
    exchanges_ = exchanges;
    collectVersions();
    for (auto error : {platform::Code::kIoError, platform::Code::kNoSpace}) {
      const int64_t runs = sweepFaults(
          [this](FaultFs& faultFs) { load(faultFs); },
          [error](FaultFs& faultFs, int64_t n) { faultFs.failAt(n, error); },
          [this] { return fullRun(); },
          [this](const FaultRun& run) {
            expectCompleteVersions(run.fs.visibleFiles(), run.operation);
            for (const auto& [path, bytes] : run.fs.visibleFiles()) {
              ASSERT_TRUE(isGameFile(path)) << path << " left behind, operation " << run.operation;
            }
          });
      EXPECT_EQ(runs, operations_ + 1);
    }
  }
}

}  // namespace
}  // namespace tollwick
