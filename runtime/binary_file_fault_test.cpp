// Fault sweeps over the commit of binary files: whatever operation fails or crashes,
// the file is the complete old or the complete new one, a reported success means the
// new one is durable, and a reported failure leaves no temporary file behind.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "platform/seam.h"
#include "platform/testing/fault_fs.h"
#include "platform/testing/fault_sweep.h"
#include "runtime/binary_file.h"
#include "runtime/file_commands.h"
#include "runtime/run_time_error.h"

namespace tollwick {
namespace {

using platform::Code;
using testing::FaultFs;
using testing::FaultRun;
using testing::sweepFaults;

const std::string kOld = "old game file contents";
const std::string kNew = "NEW game file contents, longer than before";

bool hasTempFile(const std::map<std::string, std::string>& files) {
  for (const auto& [path, bytes] : files) {
    if (path.find("\\.") != std::string::npos) return true;
  }
  return false;
}

// Runs `cycle` on the installed file system; true when it reported success.
bool runCycle(const std::function<void()>& cycle) {
  try {
    cycle();
    return true;
  } catch (const RunTimeError&) {
    abandonAllFiles();
    return false;
  }
}

void holdOld(FaultFs& fs) { fs.putFile("G\\a.DED", kOld); }

void rewriteInPlace() {
  openBinary(1, "G\\a.DED");
  writeText(1, 1, kNew);
  closeFile(1);
}

// The repair's pattern: a fresh file is built, then renamed over the old one.
void buildAndRename() {
  openBinary(2, "G\\T.DED");
  writeText(2, 1, kNew);
  closeFile(2);
  renameFile("G\\T.DED", "G\\a.DED");
}

struct Sweep {
  const char* name;
  std::function<void()> cycle;
};

void PrintTo(const Sweep& sweep, std::ostream* out) { *out << sweep.name; }

class FaultSweepTest : public ::testing::TestWithParam<Sweep> {};

void expectOldOrNew(const std::map<std::string, std::string>& files, const std::string& context) {
  const auto it = files.find("G\\a.DED");
  ASSERT_NE(it, files.end()) << context;
  EXPECT_TRUE(it->second == kOld || it->second == kNew) << context << ": " << it->second;
}

TEST_P(FaultSweepTest, EveryFailedOperationLeavesOldOrNewAndNoTempFile) {
  for (const Code error : {Code::kIoError, Code::kNoSpace, Code::kAccessDenied}) {
    sweepFaults(
        holdOld, [error](FaultFs& fs, int64_t n) { fs.failAt(n, error); },
        [this] { return runCycle(GetParam().cycle); },
        [](const FaultRun& run) {
          const std::string context = "failure at operation " + std::to_string(run.operation);
          expectOldOrNew(run.fs.visibleFiles(), context);
          if (run.succeeded) {
            EXPECT_EQ(run.fs.visibleFile("G\\a.DED"), kNew) << context;
          } else {
            EXPECT_FALSE(hasTempFile(run.fs.visibleFiles())) << context;
          }
        });
  }
}

TEST_P(FaultSweepTest, ShortWritesAndPersistentFailuresAreReported) {
  sweepFaults(
      holdOld, [](FaultFs& fs, int64_t n) { fs.shortWriteAt(n); },
      [this] { return runCycle(GetParam().cycle); },
      [](const FaultRun& run) {
        expectOldOrNew(run.fs.visibleFiles(), "short write " + std::to_string(run.operation));
        if (run.fs.faultFired()) {
          EXPECT_FALSE(run.succeeded);
        }
      });
  sweepFaults(
      holdOld, [](FaultFs& fs, int64_t n) { fs.failAt(n, Code::kIoError, /*persistent=*/true); },
      [this] { return runCycle(GetParam().cycle); },
      [](const FaultRun& run) {
        expectOldOrNew(run.fs.visibleFiles(),
                       "persistent failure " + std::to_string(run.operation));
      });
}

TEST_P(FaultSweepTest, EveryCrashLeavesOldOrNewOnDisk) {
  sweepFaults(
      holdOld, [](FaultFs& fs, int64_t n) { fs.crashAt(n); },
      [this] { return runCycle(GetParam().cycle); },
      [](const FaultRun& run) {
        const std::string context = "crash at operation " + std::to_string(run.operation);
        const auto disks = run.fs.possibleDisksAfterCrash();
        for (std::size_t seed = 0; seed < disks.size(); ++seed) {
          const auto& disk = disks[seed];
          expectOldOrNew(disk, context + ", seed " + std::to_string(seed));
          if (run.succeeded) {
            EXPECT_EQ(disk.at("G\\a.DED"), kNew) << context;
          }
        }
        if (!run.fs.faultFired()) {
          EXPECT_TRUE(run.succeeded);
        }
      });
}

INSTANTIATE_TEST_SUITE_P(Cycles, FaultSweepTest,
                         ::testing::Values(Sweep{"RewriteInPlace", rewriteInPlace},
                                           Sweep{"BuildAndRename", buildAndRename}),
                         [](const auto& param) { return std::string(param.param.name); });

// Without the sync of the file's data before the rename, a crash could keep the rename
// and lose the data: the double must be able to show that.
TEST(FaultFsTest, ACrashKeepsARenameWithoutItsUnsyncedData) {
  FaultFs fs;
  fs.putFile("G\\a.DED", kOld);
  platform::Result<std::unique_ptr<platform::WritableFile>> temp = fs.createTempBeside("G\\a.DED");
  ASSERT_TRUE(temp.ok());
  const std::string bytes = kNew;
  ASSERT_TRUE((*temp)->append({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}).ok());
  ASSERT_TRUE(fs.rename((*temp)->path(), "G\\a.DED").ok());
  ASSERT_TRUE(fs.syncDirectoryOf("G\\a.DED").ok());
  EXPECT_EQ(fs.diskAfterCrash(FaultFs::Survivors::kNone).at("G\\a.DED"), "");
  EXPECT_EQ(fs.diskAfterCrash(FaultFs::Survivors::kAll).at("G\\a.DED"), kNew);
}

}  // namespace
}  // namespace tollwick
