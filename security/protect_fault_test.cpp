// Fault sweeps over the whole protected-file cycle (open, unprotect, rewrite, protect,
// close): whichever file-system operation fails or crashes, the file is the complete
// old or the complete new protected file, and a reported failure leaves no temporary
// file behind.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "platform/seam.h"
#include "platform/testing/fault_fs.h"
#include "platform/testing/fault_sweep.h"
#include "runtime/binary_file.h"
#include "runtime/run_time_error.h"
#include "security/sarn_security.h"
#include "security/testing/protected_file_fixture.h"

namespace tollwick {
namespace {

using platform::Code;
using testing::FaultFs;
using testing::FaultRun;
using testing::sweepFaults;

constexpr const char* kFile = "G\\ZELKORCharacters.DED";
constexpr int32_t kSignature = 0x5EED;
constexpr const char* kKeyText = "ThirdZelkorSecond";

class ProtectFaultTest : public ::testing::Test {
 protected:
  ProtectFaultTest() {
    process_.directory = testing::kBuiltApplicationDirectory;
    oldFile_ = protectedBytes("old character data");
    newFile_ = protectedBytes("NEW character data, compacted and longer than before");
  }
  ~ProtectFaultTest() override { abandonAllFiles(); }

  // The stored form of `plain`, made by the cycle itself on a file system without faults.
  std::string protectedBytes(const std::string& plain) {
    FaultFs fs;
    fs.addDirectory("G");
    platform::Installed<platform::FileSystem> installed(fs);
    int16_t file = freeFile();
    openBinary(file, kFile);
    writeText(file, 13, plain);
    EXPECT_TRUE(SarnEncryptFile(file, kKeyText, kSignature));
    closeFile(file);
    return fs.visibleFile(kFile).value_or("");
  }

  // The cycle on the installed file system; true when everything reported success.
  static bool runCycle(bool protectAgain = true) {
    try {
      int16_t file = freeFile();
      openBinary(file, kFile);
      if (!SarnDecryptFile(file, kKeyText, kSignature)) return false;
      writeText(file, SarnDataStart(), "NEW character data, compacted and longer than before");
      if (protectAgain && !SarnEncryptFile(file, kKeyText, kSignature)) return false;
      closeFile(file);
      return true;
    } catch (const RunTimeError&) {
      abandonAllFiles();
      return false;
    }
  }

  void expectOldOrNew(const std::map<std::string, std::string>& files, const std::string& context) {
    const auto it = files.find(kFile);
    ASSERT_NE(it, files.end()) << context;
    EXPECT_TRUE(it->second == oldFile_ || it->second == newFile_) << context;
  }

  void holdOld(FaultFs& fs) const { fs.putFile(kFile, oldFile_); }

  static bool hasTempFile(const std::map<std::string, std::string>& files) {
    for (const auto& entry : files) {
      if (entry.first != kFile) return true;
    }
    return false;
  }

  testing::ScopedFakeProcess process_;
  testing::ScopedRecordingDialog dialog_;
  std::string oldFile_;
  std::string newFile_;
};

TEST_F(ProtectFaultTest, EveryFailedOperationLeavesTheOldOrTheNewFileAndNoTemporaryFile) {
  for (const Code error : {Code::kIoError, Code::kNoSpace, Code::kAccessDenied}) {
    sweepFaults([this](FaultFs& fs) { holdOld(fs); },
                [error](FaultFs& fs, int64_t n) { fs.failAt(n, error); }, [] { return runCycle(); },
                [this](const FaultRun& run) {
                  const std::string context =
                      "failure at operation " + std::to_string(run.operation);
                  expectOldOrNew(run.fs.visibleFiles(), context);
                  if (run.succeeded) {
                    EXPECT_EQ(run.fs.visibleFile(kFile), newFile_) << context;
                  } else {
                    EXPECT_FALSE(hasTempFile(run.fs.visibleFiles())) << context;
                  }
                  if (!run.fs.faultFired()) {
                    EXPECT_TRUE(run.succeeded) << context;
                  }
                });
  }
}

TEST_F(ProtectFaultTest, EveryShortWriteLeavesTheOldOrTheNewFile) {
  sweepFaults([this](FaultFs& fs) { holdOld(fs); },
              [](FaultFs& fs, int64_t n) { fs.shortWriteAt(n); }, [] { return runCycle(); },
              [this](const FaultRun& run) {
                expectOldOrNew(run.fs.visibleFiles(),
                               "short write at " + std::to_string(run.operation));
                if (!run.fs.faultFired()) return;
                EXPECT_FALSE(run.succeeded);
                EXPECT_FALSE(hasTempFile(run.fs.visibleFiles()));
              });
}

TEST_F(ProtectFaultTest, EveryCrashLeavesTheOldOrTheNewFileOnDisk) {
  sweepFaults([this](FaultFs& fs) { holdOld(fs); }, [](FaultFs& fs, int64_t n) { fs.crashAt(n); },
              [] { return runCycle(); },
              [this](const FaultRun& run) {
                const std::string context = "crash at operation " + std::to_string(run.operation);
                const auto disks = run.fs.possibleDisksAfterCrash();
                for (std::size_t seed = 0; seed < disks.size(); ++seed) {
                  const auto& disk = disks[seed];
                  expectOldOrNew(disk, context + ", seed " + std::to_string(seed));
                  if (run.succeeded) {
                    EXPECT_EQ(disk.at(kFile), newFile_) << context;
                  }
                }
                if (!run.fs.faultFired()) {
                  EXPECT_TRUE(run.succeeded) << context;
                }
              });
}

TEST_F(ProtectFaultTest, AFileLeftUnprotectedIsNeverWritten) {
  FaultFs fs;
  fs.putFile(kFile, oldFile_);
  platform::Installed<platform::FileSystem> installed(fs);
  EXPECT_TRUE(runCycle(/*protectAgain=*/false));
  EXPECT_EQ(fs.visibleFiles(), (std::map<std::string, std::string>{{kFile, oldFile_}}));
}

TEST_F(ProtectFaultTest, ARefusedFileIsNeverWritten) {
  FaultFs fs;
  std::string damaged = oldFile_;
  damaged.back() = static_cast<char>(damaged.back() ^ 1);
  fs.putFile(kFile, damaged);
  platform::Installed<platform::FileSystem> installed(fs);
  EXPECT_FALSE(runCycle());
  EXPECT_EQ(fs.visibleFiles(), (std::map<std::string, std::string>{{kFile, damaged}}));
  EXPECT_TRUE(dialog_.boxes.empty());
}

}  // namespace
}  // namespace tollwick
