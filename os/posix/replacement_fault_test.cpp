// A file replaced on a real disk while each system call of the replacement fails in
// turn: the file is always the complete old or the complete new one, nothing is left
// beside it, and the replacement reports a failure exactly when the old file remains.

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "os/posix/file_system.h"
#include "os/posix/testing/system_call_sweep.h"
#include "platform/replacement.h"
#include "platform/testing/scratch_directory.h"

namespace tollwick::platform {
namespace {

namespace fs = std::filesystem;
using testing::SweptFault;
using testing::SystemCall;

std::string pattern(char first, size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(first + i % 23);
  return bytes;
}

// The file's bytes still those read: by content, as a file written a moment ago has no
// identity the times could vouch for.
IsTheFileRead holdsBytes(FileSystem& files, const std::string& bytes) {
  return [&files, bytes](const std::string& path, bool) -> Result<bool> {
    const Result<ByteBuffer> now = files.readFile(path, bytes.size() + 1);
    if (now.status() == Code::kNotFound) return false;
    if (!now.ok()) return now.status();
    return std::string(now->begin(), now->end()) == bytes;
  };
}

// The entries of `directory` other than `name`.
std::vector<std::string> othersIn(const fs::path& directory, const std::string& name) {
  std::vector<std::string> others;
  for (const auto& entry : fs::directory_iterator(directory)) {
    if (entry.path().filename() != name) others.push_back(entry.path().filename().string());
  }
  return others;
}

bool flushedDirectory(const SweptFault& fault) {
  return fault.afterPlacing && fault.lastOfItsKind &&
         (fault.call == SystemCall::kOpenFile || fault.call == SystemCall::kSyncFile);
}

bool retriedOrContinued(const SweptFault& fault) {
  const bool readOrWrite =
      fault.call == SystemCall::kReadAt || fault.call == SystemCall::kWriteFile;
  return fault.fired && readOrWrite && (fault.error == EINTR || fault.error == 0);
}

TEST(ReplacementUnderSystemCallFaultsTest, EveryFailedCallLeavesTheOldOrTheNewFileAndSaysWhich) {
  tollwick::testing::ScratchDirectory scratch("tollwick-replacement-faults-");
  const std::string target = scratch.file("Saved.DED");
  // A left-over of an interrupted run beside it, which the replacement clears away.
  const std::string leftOver = ".Saved.DED.tw-0123abcd";
  const std::string oldBytes = pattern('a', 70000);
  const std::string newBytes = pattern('A', 50000);
  std::unique_ptr<FileSystem> files = makePosixFileSystem();

  testing::SweepSteps steps;
  steps.target = target;
  steps.prepare = [&] {
    for (const std::string& other : othersIn(scratch.path(), "")) fs::remove(scratch.file(other));
    scratch.write("Saved.DED", oldBytes);
    scratch.write(leftOver, "left over");
  };
  steps.run = [&] {
    Result<FileRead> read = files->readFileWithIdentity(target, oldBytes.size());
    if (!read.ok()) return false;
    const std::string readBytes(read->bytes.begin(), read->bytes.end());
    Result<std::unique_ptr<Replacement>> replacement = Replacement::write(
        *files, target, {reinterpret_cast<const uint8_t*>(newBytes.data()), newBytes.size()});
    if (!replacement.ok()) return false;
    return (*replacement)->putInPlace(target, holdsBytes(*files, readBytes)).ok();
  };
  int reportedInPlace = 0;
  steps.check = [&](const SweptFault& fault, bool succeeded) {
    SCOPED_TRACE(fault.describe());
    const std::string now = scratch.read("Saved.DED");
    ASSERT_TRUE(now == oldBytes || now == newBytes) << "damaged: " << now.size() << " bytes";
    if (now == oldBytes) {
      EXPECT_FALSE(succeeded) << "reported success with the old file in place";
    } else if (!succeeded) {
      // Only the flush of the directory, which comes last, fails a replacement that has
      // happened: the new file may not survive a power loss.
      EXPECT_TRUE(flushedDirectory(fault)) << "reported a failure with the new file in place";
      ++reportedInPlace;
    }
    if (!fault.fired || retriedOrContinued(fault)) {
      EXPECT_TRUE(succeeded && now == newBytes) << "not retried or continued";
    }
    for (const std::string& other : othersIn(scratch.path(), "Saved.DED")) {
      // The left-over goes unless its removal was the call that failed.
      if (other == leftOver && fault.fired) continue;
      ADD_FAILURE() << "left behind: " << other;
    }
  };
  const testing::SweepFigures figures = sweepSystemCallFaults(steps);
  RecordProperty("calls", std::to_string(figures.calls));
  RecordProperty("runs", std::to_string(figures.runs));
  RecordProperty("reported_in_place", std::to_string(reportedInPlace));
  EXPECT_GT(figures.calls, 20);
}

}  // namespace
}  // namespace tollwick::platform
