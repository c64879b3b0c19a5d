// Fault sweeps over the commit of binary files: whatever operation fails or crashes,
// the file is the complete old or the complete new one, a reported success means the
// new one is durable, and a reported failure leaves no temporary file behind.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "platform/seam.h"
#include "platform/testing/fault_fs.h"
#include "runtime/binary_file.h"
#include "runtime/file_commands.h"
#include "runtime/run_time_error.h"

namespace tollwick {
namespace {

using platform::Code;
using testing::FaultFs;

const std::string kOld = "old game file contents";
const std::string kNew = "NEW game file contents, longer than before";

bool hasTempFile(const std::map<std::string, std::string>& files) {
  for (const auto& [path, bytes] : files) {
    if (path.find("\\.") != std::string::npos) return true;
  }
  return false;
}

// Runs `cycle` on a FaultFs prepared by `arm`; true when it reported success.
bool runCycle(FaultFs& fs, const std::function<void()>& cycle) {
  platform::Installed<platform::FileSystem> installed(fs);
  try {
    cycle();
    return true;
  } catch (const RunTimeError&) {
    abandonAllFiles();
    return false;
  }
}

void rewriteInPlace() {
  openBinary(1, "G\\a.DED");
  putText(1, 1, kNew);
  closeFile(1);
}

// The repair's pattern: a fresh file is built, then renamed over the old one.
void buildAndRename() {
  openBinary(2, "G\\T.DED");
  putText(2, 1, kNew);
  closeFile(2);
  nameFile("G\\T.DED", "G\\a.DED");
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
    for (int64_t n = 1;; ++n) {
      FaultFs fs;
      fs.putFile("G\\a.DED", kOld);
      fs.failAt(n, error);
      const bool succeeded = runCycle(fs, GetParam().cycle);
      const std::string context = "failure at operation " + std::to_string(n);
      expectOldOrNew(fs.visibleFiles(), context);
      if (succeeded) {
        EXPECT_EQ(fs.visibleFile("G\\a.DED"), kNew) << context;
      } else {
        EXPECT_FALSE(hasTempFile(fs.visibleFiles())) << context;
      }
      if (!fs.faultFired()) break;
    }
  }
}

TEST_P(FaultSweepTest, ShortWritesAndPersistentFailuresAreReported) {
  for (int64_t n = 1;; ++n) {
    FaultFs shortFs;
    shortFs.putFile("G\\a.DED", kOld);
    shortFs.shortWriteAt(n);
    const bool succeeded = runCycle(shortFs, GetParam().cycle);
    expectOldOrNew(shortFs.visibleFiles(), "short write " + std::to_string(n));
    if (shortFs.faultFired()) {
      EXPECT_FALSE(succeeded);
    }

    FaultFs brokenFs;
    brokenFs.putFile("G\\a.DED", kOld);
    brokenFs.failAt(n, Code::kIoError, /*persistent=*/true);
    runCycle(brokenFs, GetParam().cycle);
    expectOldOrNew(brokenFs.visibleFiles(), "persistent failure " + std::to_string(n));
    if (!shortFs.faultFired() && !brokenFs.faultFired()) break;
  }
}

TEST_P(FaultSweepTest, EveryCrashLeavesOldOrNewOnDisk) {
  for (int64_t n = 1;; ++n) {
    FaultFs fs;
    fs.putFile("G\\a.DED", kOld);
    fs.crashAt(n);
    const bool succeeded = runCycle(fs, GetParam().cycle);
    const std::string context = "crash at operation " + std::to_string(n);
    const auto disks = fs.possibleDisksAfterCrash();
    for (std::size_t seed = 0; seed < disks.size(); ++seed) {
      const auto& disk = disks[seed];
      expectOldOrNew(disk, context + ", seed " + std::to_string(seed));
      if (succeeded) {
        EXPECT_EQ(disk.at("G\\a.DED"), kNew) << context;
      }
    }
    if (!fs.faultFired()) {
      EXPECT_TRUE(succeeded);
      break;
    }
  }
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
