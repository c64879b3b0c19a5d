// The repair of a character file on a real disk while each system call the file system
// makes for it fails in turn: the character file is always the complete old or the
// complete new one, nothing is left beside it, and the repair reports a failure exactly
// when the old file remains.

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "os/posix/testing/system_call_sweep.h"
#include "platform/testing/fake_process.h"
#include "repair/fix_character_file.h"
#include "runtime/binary_file.h"
#include "system/system_state.h"
#include "tools/character_file_builder.h"
#include "tools/testing/installation_fixture.h"

namespace tollwick {
namespace {

namespace fs = std::filesystem;
using testing::SweptFault;
using testing::SystemCall;
using Bytes = std::vector<uint8_t>;

class RepairUnderSystemCallFaultsTest : public kit::InstallationFixture {
 protected:
  RepairUnderSystemCallFaultsTest() {
    kit::InstallationOptions options;
    options.omit = {kCharacterFileName};
    signature_ = install(options);
    header_ = systemState().header;
    {
      kit::CharacterFileBuilder file(characters());
      file.appendRecord(kit::sampleRecord(1, "Aldric"), 2, 3000);
      file.appendRecord(kit::sampleRecord(2, "  Brannoc"), 0, 500);
      file.appendRecord(kit::sampleRecord(3, ""), 1);  // dead
      file.setCount(3);
      file.finish(signature_);
    }
    old_ = fileBytes(characters()).value();
    for (const auto& entry : fs::directory_iterator(systemDirectory())) {
      names_.insert(entry.path().filename().string());
    }
  }

  std::string characters() const { return gameFile(kCharacterFileName); }

  // The disk and the program as before the repair.
  void prepare() {
    for (const auto& entry : fs::directory_iterator(systemDirectory())) {
      if (!names_.count(entry.path().filename().string())) fs::remove(entry.path());
    }
    writeHostFile(characters(), old_);
    abandonAllFiles();
    systemState().header = header_;
    systemState().systemSignature = signature_;
    dialog_.boxes.clear();
  }

  bool repair() {
    bool repaired = false;
    try {
      repaired = sysFixBloatedCharacterFile(systemState().header) == RepairResult::kRepaired;
    } catch (const testing::ProgramEnded&) {
    }
    abandonAllFiles();
    return repaired;
  }

  // The files of the system's directory that were not there before.
  std::vector<std::string> leftBehind() const {
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(systemDirectory())) {
      const std::string name = entry.path().filename().string();
      if (!names_.count(name)) left.push_back(name);
    }
    return left;
  }

  // The sweep's steps over a whole repair. `check` is given the fault, whether the repair
  // succeeded and the character file's bytes afterwards; the first run (no fault fired)
  // must succeed and sets the repaired bytes every other run is held to. Whatever else
  // `check` looks at, the file is the old or the repaired one, success is never reported
  // with the old one in place, and a failure is told to the user.
  testing::SweepSteps repairSteps(
      std::function<void(const SweptFault&, bool succeeded, const Bytes& now)> check) {
    testing::SweepSteps steps;
    steps.target = characters();
    steps.prepare = [this] { prepare(); };
    steps.run = [this] { return repair(); };
    steps.check = [this, check](const SweptFault& fault, bool succeeded) {
      SCOPED_TRACE(fault.describe());
      const Bytes now = fileBytes(characters()).value_or(Bytes{});
      if (!fault.fired) {
        ASSERT_TRUE(succeeded);
        ASSERT_NE(now, old_);
        repaired_ = now;
      }
      ASSERT_TRUE(now == old_ || now == repaired_) << "damaged: " << now.size() << " bytes";
      if (now == old_) {
        EXPECT_FALSE(succeeded) << "reported success with the old file in place";
      }
      EXPECT_EQ(succeeded, dialog_.boxes.empty());
      check(fault, succeeded, now);
    };
    return steps;
  }

  int32_t signature_ = 0;
  SystemHeaderRecord header_;
  Bytes repaired_;
  Bytes old_;
  std::set<std::string> names_;
};

// The flush of the directory, which comes last: the repair has happened, but may not
// survive a power loss, and says so.
bool flushedDirectory(const SweptFault& fault) {
  return fault.afterPlacing && fault.lastOfItsKind &&
         (fault.call == SystemCall::kOpenFile || fault.call == SystemCall::kSyncFile);
}

TEST_F(RepairUnderSystemCallFaultsTest, EveryFailedCallLeavesTheOldOrTheRepairedFileAndSaysWhich) {
  int reportedInPlace = 0;
  const auto steps = repairSteps([&](const SweptFault& fault, bool succeeded, const Bytes& now) {
    if (now != old_ && !succeeded) {
      EXPECT_TRUE(flushedDirectory(fault)) << "reported a failure with the new file in place";
      ++reportedInPlace;
    }
    const bool retried = fault.call == SystemCall::kReadAt || fault.call == SystemCall::kWriteFile;
    if (fault.fired && retried && (fault.error == EINTR || fault.error == 0)) {
      EXPECT_TRUE(succeeded) << "not retried or continued";
    }
    for (const std::string& name : leftBehind()) ADD_FAILURE() << "left behind: " << name;
  });
  const testing::SweepFigures figures = sweepSystemCallFaults(steps);
  RecordProperty("calls", std::to_string(figures.calls));
  RecordProperty("runs", std::to_string(figures.runs));
  RecordProperty("reported_in_place", std::to_string(reportedInPlace));
  EXPECT_GT(figures.calls, 30);
}

TEST_F(RepairUnderSystemCallFaultsTest,
       ADiskFailingEveryCallFromAnyPointOnLeavesTheOldOrTheRepairedFile) {
  int leftOvers = 0;
  const auto steps = repairSteps([&](const SweptFault& fault, bool succeeded, const Bytes& now) {
    // Once the new file is in place, a disk that fails can no longer swap the old one
    // back when it cannot tell that no save landed in between.
    if (now != old_ && !succeeded) {
      EXPECT_TRUE(fault.afterPlacing) << "reported a failure with the new file in place";
    }
    // Nothing can be removed from a disk that fails every call.
    leftOvers += leftBehind().empty() ? 0 : 1;
  });
  const testing::SweepFigures figures = sweepDiskLoss(steps);
  RecordProperty("runs", std::to_string(figures.runs));
  RecordProperty("runs_leaving_files", std::to_string(leftOvers));
}

}  // namespace
}  // namespace tollwick
