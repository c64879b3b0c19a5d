// Binary files by number on the real file system: positioned reads and writes, the
// errors of the runtime, and the commit at close.

#include "runtime/binary_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/seam.h"
#include "platform/testing/forwarding_fs.h"
#include "platform/testing/scratch_directory.h"
#include "runtime/file_commands.h"
#include "runtime/run_time_error.h"
#include "runtime/testing/raised_error.h"

namespace tollwick {
namespace {

namespace fs = std::filesystem;

class BinaryFileTest : public ::testing::Test {
 protected:
  void TearDown() override { abandonAllFiles(); }

  std::string path(const std::string& name) const { return scratch_.file(name); }
  void writeFile(const std::string& name, const std::string& bytes) const {
    scratch_.write(name, bytes);
  }
  std::string readFile(const std::string& name) const { return scratch_.read(name); }
  size_t entriesInDirectory() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), {}));
  }

  testing::ScratchDirectory scratch_{"tollwick-binary-"};
  fs::path dir_ = scratch_.path();
};

using testing::errorNumberRaisedBy;

TEST_F(BinaryFileTest, ReadsLittleEndianFieldsAtOneBasedPositions) {
  writeFile("a.bin", std::string("\x01\x02\xFE\xFF\x78\x56\x34\x12"
                                 "abc",
                                 11));
  openBinary(1, path("a.bin"));
  EXPECT_EQ(lengthOfFile(1), 11);
  EXPECT_EQ(readInt16(1, 1), 0x0201);
  EXPECT_EQ(readInt16(1, 3), -2);
  EXPECT_EQ(readInt32(1, 5), 0x12345678);
  EXPECT_EQ(readText(1, 9, 3), "abc");
  EXPECT_EQ(readText(1, 12, 0), "");
  std::vector<uint8_t> two(2);
  readBytes(1, 10, two);
  EXPECT_EQ(two, (std::vector<uint8_t>{'b', 'c'}));
  closeFile(1);
}

TEST_F(BinaryFileTest, ReadsPastTheEndAndBadArgumentsAreRunTimeErrors) {
  writeFile("a.bin", "12345");
  openBinary(1, path("a.bin"));
  EXPECT_EQ(errorNumberRaisedBy([] { readInt32(1, 3); }), err::kInputPastEndOfFile);
  EXPECT_EQ(errorNumberRaisedBy([] { readText(1, 7, 0); }), err::kInputPastEndOfFile);
  EXPECT_EQ(errorNumberRaisedBy([] { readText(1, 1, INT64_MAX); }), err::kInputPastEndOfFile);
  EXPECT_EQ(errorNumberRaisedBy([] { readInt16(1, 0); }), err::kInvalidProcedureCall);
  EXPECT_EQ(errorNumberRaisedBy([] { readText(1, 1, -1); }), err::kInvalidProcedureCall);
  EXPECT_EQ(errorNumberRaisedBy([] { writeInt32(1, -4, 1); }), err::kInvalidProcedureCall);
  EXPECT_EQ(errorNumberRaisedBy([] { readInt16(2, 1); }), err::kBadFileNameOrNumber);
  EXPECT_EQ(errorNumberRaisedBy([] { closeFile(0); }), err::kBadFileNameOrNumber);
  EXPECT_EQ(errorNumberRaisedBy([this] { openBinary(1, path("b.bin")); }),
            err::kBadFileNameOrNumber);
  EXPECT_EQ(errorNumberRaisedBy([this] { openBinary(512, path("b.bin")); }),
            err::kBadFileNameOrNumber);
  closeFile(1);
  EXPECT_EQ(errorNumberRaisedBy([] { closeFile(1); }), err::kBadFileNameOrNumber);
}

TEST_F(BinaryFileTest, OpenReportsMissingDirectoriesAndNonFiles) {
  EXPECT_EQ(errorNumberRaisedBy([this] { openBinary(1, path("no-such-dir/a.bin")); }),
            err::kPathNotFound);
  fs::create_directory(path("sub"));
  EXPECT_EQ(errorNumberRaisedBy([this] { openBinary(1, path("sub")); }), err::kPathFileAccessError);
  EXPECT_FALSE(isOpen(1));
}

TEST_F(BinaryFileTest, FreeFileGivesTheLowestFreeNumberUntilAllAreTaken) {
  EXPECT_EQ(freeFile(), 1);
  for (int16_t n = 1; n <= 511; ++n) openBinary(n, path("f" + std::to_string(n)));
  EXPECT_EQ(errorNumberRaisedBy([] { freeFile(); }), err::kTooManyFiles);
  closeFile(7);
  EXPECT_EQ(freeFile(), 7);
  abandonAllFiles();
  EXPECT_EQ(entriesInDirectory(), 1u);  // only the closed file was committed
}

TEST_F(BinaryFileTest, WritesExtendTheFileAndAMissingFileIsCreatedAtClose) {
  openBinary(3, path("new.bin"));
  EXPECT_EQ(lengthOfFile(3), 0);
  writeInt16(3, 1, -2);
  writeInt32(3, 7, 0x01020304);
  writeText(3, 3, "xy");
  EXPECT_FALSE(fs::exists(path("new.bin")));  // nothing reaches the disk before close
  closeFile(3);
  EXPECT_EQ(readFile("new.bin"), std::string("\xFE\xFFxy\0\0\x04\x03\x02\x01", 10));
  EXPECT_EQ(entriesInDirectory(), 1u);  // no temporary file left

  openBinary(3, path("empty.bin"));
  closeFile(3);
  EXPECT_TRUE(fs::exists(path("empty.bin")));
  EXPECT_EQ(fs::file_size(path("empty.bin")), 0u);
}

TEST_F(BinaryFileTest, ChangedFileIsReplacedAsAWholeAtClose) {
  writeFile("a.bin", "old contents");
  fs::permissions(path("a.bin"),
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  testing::CommitCountingFs counting;
  platform::Installed<platform::FileSystem> installed(counting);
  openBinary(1, path("a.bin"));
  writeText(1, 1, "NEW");
  EXPECT_EQ(readFile("a.bin"), "old contents");
  closeFile(1);
  EXPECT_EQ(readFile("a.bin"), "NEW contents");
  // Replaced by a new file in one rename, with the same mode.
  EXPECT_EQ(counting.commits, 1);
#ifndef _WIN32  // Windows keeps no such permission bits
  EXPECT_EQ(fs::status(path("a.bin")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
#endif
  EXPECT_EQ(entriesInDirectory(), 1u);
}

// Two runs on one game: a temporary another writer still holds (written, closed, not
// yet renamed into place) is never taken by a clean-up for a left-over; once that
// writer lets go of it without renaming it, the next write removes it.
TEST_F(BinaryFileTest, ATemporaryALiveWriterHoldsIsNeverTakenForALeftOver) {
  writeFile("a.bin", "old contents");
  const auto system = platform::makeSystemFacility<platform::FileSystem>();
  platform::Result<std::unique_ptr<platform::WritableFile>> made =
      system->createTempBeside(path("a.bin"));
  ASSERT_TRUE(made.ok());
  std::unique_ptr<platform::WritableFile> other = std::move(made).value();
  const std::string held = other->path();
  const std::string bytes = "another run's contents";
  writeFileAtomically(path("a.bin"), std::span(reinterpret_cast<const uint8_t*>(bytes.data()), 4));
  EXPECT_TRUE(fs::exists(held)) << "taken while being written";
  ASSERT_TRUE(
      other->append(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())).ok());
  ASSERT_TRUE(other->close().ok());
  writeFileAtomically(path("a.bin"), std::span(reinterpret_cast<const uint8_t*>(bytes.data()), 5));
  EXPECT_TRUE(fs::exists(held)) << "taken between its close and its rename";
  other.reset();
  writeFileAtomically(path("a.bin"), std::span(reinterpret_cast<const uint8_t*>(bytes.data()), 6));
  EXPECT_FALSE(fs::exists(held));
  EXPECT_EQ(readFile("a.bin"), "anothe");
  EXPECT_EQ(entriesInDirectory(), 1u);
}

// Two names of one file stay one file: a file with another hard link is never
// replaced (the other name would keep the old bytes), its first change is error 75.
TEST_F(BinaryFileTest, AFileWithAnotherNameIsNeverReplaced) {
  writeFile("a.bin", "old contents");
  fs::create_hard_link(path("a.bin"), path("other-name"));
  openBinary(1, path("a.bin"));
  EXPECT_EQ(errorNumberRaisedBy([] { writeText(1, 1, "NEW"); }), err::kPathFileAccessError);
  closeFile(1);
  EXPECT_TRUE(fs::equivalent(path("a.bin"), path("other-name")));
  EXPECT_EQ(readFile("a.bin"), "old contents");
  EXPECT_EQ(entriesInDirectory(), 2u);
}

TEST_F(BinaryFileTest, UnchangedFileIsNotWritten) {
  writeFile("a.bin", "same bytes");
  testing::CommitCountingFs counting;
  platform::Installed<platform::FileSystem> installed(counting);
  const auto before = fs::last_write_time(path("a.bin"));
  openBinary(1, path("a.bin"));
  writeText(1, 1, "XXXX");
  writeText(1, 1, "same");  // written back as it was
  for (uint8_t& b : fileImage(1)) b = static_cast<uint8_t>(b ^ 0x5A);
  for (uint8_t& b : fileImage(1)) b = static_cast<uint8_t>(b ^ 0x5A);
  closeFile(1);
  EXPECT_EQ(counting.commits, 0);
  EXPECT_EQ(fs::last_write_time(path("a.bin")), before);
}

TEST_F(BinaryFileTest, AnImageTransformedAndRestoredIsNotWritten) {
  writeFile("a.bin", "same bytes");
  testing::CommitCountingFs counting;
  platform::Installed<platform::FileSystem> installed(counting);
  const auto before = fs::last_write_time(path("a.bin"));
  openBinary(1, path("a.bin"));
  const uint64_t opened = imageVersion(1);
  for (uint8_t& b : imageForTransform(1)) b = static_cast<uint8_t>(b ^ 0x5A);
  const uint64_t transformed = imageVersion(1);
  EXPECT_NE(transformed, opened);
  writeText(1, 1, ")");  // the byte it holds (s ^ 0x5A): no change, no new version
  EXPECT_EQ(imageVersion(1), transformed);
  writeText(1, 1, "S");
  EXPECT_NE(imageVersion(1), transformed);
  writeText(1, 1, ")");
  for (uint8_t& b : imageForTransform(1)) b = static_cast<uint8_t>(b ^ 0x5A);
  restoreImageVersion(1, opened);
  closeFile(1);
  EXPECT_EQ(counting.commits, 0);
  EXPECT_EQ(fs::last_write_time(path("a.bin")), before);

  // Without the restore a transformed image counts as changed, and so does one
  // restored to any state but the one it had at open.
  openBinary(1, path("a.bin"));
  writeText(1, 1, "S");
  const uint64_t changed = imageVersion(1);
  for (uint8_t& b : imageForTransform(1)) b = static_cast<uint8_t>(b ^ 0x5A);
  for (uint8_t& b : imageForTransform(1)) b = static_cast<uint8_t>(b ^ 0x5A);
  restoreImageVersion(1, changed);
  closeFile(1);
  EXPECT_EQ(readFile("a.bin"), "Same bytes");
  EXPECT_EQ(counting.commits, 1);
}

// A guard that owes nothing and refuses the commit while `refuse` is set.
class RefusingGuard : public ImageGuard {
 public:
  void beforeRead(std::span<uint8_t>, size_t) override {}
  void beforeWrite(std::span<uint8_t>) override {}
  bool mayCommit() const override { return !refuse; }
  bool refuse = true;
};

TEST_F(BinaryFileTest, UnprotectedOrAbandonedFileIsNeverWritten) {
  writeFile("a.bin", "protected");
  openBinary(1, path("a.bin"));
  attachImageGuard(1, std::make_unique<RefusingGuard>());
  writeText(1, 1, "PLAIN");
  closeFile(1);
  EXPECT_EQ(readFile("a.bin"), "protected");

  openBinary(1, path("a.bin"));
  attachImageGuard(1, std::make_unique<RefusingGuard>());
  writeText(1, 1, "other");
  static_cast<RefusingGuard*>(imageGuard(1))->refuse = false;  // protected again: committed
  closeFile(1);
  EXPECT_EQ(readFile("a.bin"), "othercted");

  openBinary(2, path("a.bin"));
  writeText(2, 1, "lost");
  abandonAllFiles();
  EXPECT_FALSE(isOpen(2));
  EXPECT_EQ(readFile("a.bin"), "othercted");
  EXPECT_EQ(entriesInDirectory(), 1u);
}

TEST_F(BinaryFileTest, FileOpenWhenTheProgramEndsAtOnceIsNotWritten) {
  writeFile("a.bin", "protected");
  EXPECT_EXIT(
      {
        openBinary(1, path("a.bin"));
        writeText(1, 1, "PLAIN");
        openBinary(2, path("new.bin"));
        platform::use<platform::Process>().endAtOnce();
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(readFile("a.bin"), "protected");
  EXPECT_EQ(entriesInDirectory(), 1u);
}

// The real file system, except that the process ends just before operation `stopAt`:
// the order of the steps on a real disk, for every point the program can die at.
class DyingFileSystem : public platform::FileSystem {
 public:
  explicit DyingFileSystem(int stopAt) : stopAt_(stopAt) {}

  platform::Result<platform::ByteBuffer> readFile(const std::string& p, uint64_t limit) override {
    step();
    return real_->readFile(p, limit);
  }
  platform::Result<platform::DirEntry> lookup(const std::string& p) override {
    step();
    return real_->lookup(p);
  }
  platform::Result<std::vector<platform::DirEntry>> listDirectory(const std::string& d) override {
    step();
    return real_->listDirectory(d);
  }
  platform::Result<std::unique_ptr<platform::WritableFile>> createTempBeside(
      const std::string& target) override {
    step();
    platform::Result<std::unique_ptr<platform::WritableFile>> file =
        real_->createTempBeside(target);
    if (!file.ok()) return file;
    return std::unique_ptr<platform::WritableFile>(
        std::make_unique<DyingFile>(*this, std::move(file).value()));
  }
  platform::Status rename(const std::string& from, const std::string& to) override {
    step();
    return real_->rename(from, to);
  }
  platform::Status syncDirectoryOf(const std::string& p) override {
    step();
    return real_->syncDirectoryOf(p);
  }
  platform::Status remove(const std::string& p) override {
    step();
    return real_->remove(p);
  }

 private:
  class DyingFile : public platform::WritableFile {
   public:
    DyingFile(DyingFileSystem& fs, std::unique_ptr<platform::WritableFile> file)
        : fs_(fs), file_(std::move(file)) {}
    const std::string& path() const override { return file_->path(); }
    platform::Status append(std::span<const uint8_t> bytes) override {
      fs_.step();
      return file_->append(bytes);
    }
    platform::Status sync() override {
      fs_.step();
      return file_->sync();
    }
    platform::Status close() override {
      fs_.step();
      return file_->close();
    }

   private:
    DyingFileSystem& fs_;
    std::unique_ptr<platform::WritableFile> file_;
  };

  void step() {
    if (++count_ == stopAt_) std::_Exit(3);
  }

  int stopAt_;
  int count_ = 0;
  std::unique_ptr<platform::FileSystem> real_ =
      platform::makeSystemFacility<platform::FileSystem>();
};

// The real file system, counting whole-file reads.
class CountingFileSystem : public platform::FileSystem {
 public:
  platform::Result<platform::ByteBuffer> readFile(const std::string& p, uint64_t limit) override {
    ++reads;
    return real_->readFile(p, limit);
  }
  platform::Result<platform::FileRead> readFileWithIdentity(const std::string& p,
                                                            uint64_t limit) override {
    ++reads;
    return real_->readFileWithIdentity(p, limit);
  }
  platform::Result<platform::FileIdentity> identify(const std::string& p) override {
    return real_->identify(p);
  }
  platform::Result<platform::DirEntry> lookup(const std::string& p) override {
    return real_->lookup(p);
  }
  platform::Result<std::vector<platform::DirEntry>> listDirectory(const std::string& d) override {
    return real_->listDirectory(d);
  }
  platform::Result<std::unique_ptr<platform::WritableFile>> createTempBeside(
      const std::string& target) override {
    return real_->createTempBeside(target);
  }
  platform::Status rename(const std::string& from, const std::string& to) override {
    return real_->rename(from, to);
  }
  platform::Status syncDirectoryOf(const std::string& p) override {
    return real_->syncDirectoryOf(p);
  }
  platform::Status remove(const std::string& p) override { return real_->remove(p); }

  int reads = 0;

 private:
  std::unique_ptr<platform::FileSystem> real_ =
      platform::makeSystemFacility<platform::FileSystem>();
};

// Large enough for the file layer to keep its image after an unchanged close.
std::string largeContents(char fill) {
  std::string bytes(size_t{3} << 20, fill);
  for (size_t i = 0; i < bytes.size(); i += 4093) bytes[i] = static_cast<char>(i >> 12);
  return bytes;
}

// A file changed just now may change again without its times changing: only an older
// one is known to be the same by its times.
void letTheFileAge() { std::this_thread::sleep_for(std::chrono::milliseconds(150)); }

TEST_F(BinaryFileTest, ALargeFileClosedUnchangedIsNotReadAgainWhileItStaysTheSame) {
  CountingFileSystem counting;
  platform::Installed<platform::FileSystem> installed(counting);
  const std::string first = largeContents('a');
  writeFile("big.DED", first);
  letTheFileAge();

  openBinary(1, path("big.DED"));
  closeFile(1);
  openBinary(2, path("BIG.ded"));  // the same file under another spelling
  EXPECT_EQ(counting.reads, 1);
  EXPECT_EQ(readText(2, 1, static_cast<int64_t>(first.size())), first);
  writeText(2, 1, "x");
  writeText(2, 1, first.substr(0, 1));  // changed and changed back: still the disk's bytes
  closeFile(2);
  EXPECT_EQ(readFile("big.DED"), first);

  // Changed on disk behind the program's back, with the same length: read again.
  const std::string second = largeContents('b');
  writeFile("big.DED", second);
  openBinary(1, path("big.DED"));
  EXPECT_EQ(counting.reads, 2);
  EXPECT_EQ(readText(1, 1, static_cast<int64_t>(second.size())), second);
  closeFile(1);
}

TEST_F(BinaryFileTest, AKeptImageGivesWayToAnyOtherLargeFileAndToAReplacement) {
  CountingFileSystem counting;
  platform::Installed<platform::FileSystem> installed(counting);
  writeFile("a.DED", largeContents('a'));
  writeFile("b.DED", largeContents('b'));
  writeFile("small.DED", "small");
  letTheFileAge();

  openBinary(1, path("a.DED"));
  closeFile(1);
  openBinary(1, path("small.DED"));  // a small file read beside it keeps it
  closeFile(1);
  openBinary(1, path("a.DED"));
  EXPECT_EQ(counting.reads, 2);
  closeFile(1);
  // Another large file is not read while the kept image still holds its memory.
  openBinary(1, path("b.DED"));
  closeFile(1);
  openBinary(1, path("a.DED"));
  EXPECT_EQ(counting.reads, 4);
  closeFile(1);

  // A changed file written back replaces the file on disk: the next open reads it.
  openBinary(1, path("a.DED"));
  writeText(1, 1, "NEW");
  closeFile(1);
  openBinary(1, path("a.DED"));
  EXPECT_EQ(counting.reads, 5);
  EXPECT_EQ(readText(1, 1, 3), "NEW");
  closeFile(1);
}

TEST_F(BinaryFileTest, ProcessDyingAtAnyStepLeavesTheOldOrTheNewFile) {
  const std::string oldBytes = "old contents of the game file";
  const std::string newBytes = "NEW contents, written by the repair";
  // Ten operations: read, create temp, list the directory for left-over temporaries,
  // append, sync, close, rename, sync directory, then the rename over the old file and
  // its directory sync.
  for (int stopAt = 1; stopAt <= 11; ++stopAt) {
    writeFile("a.DED", oldBytes);
    EXPECT_EXIT(
        {
          DyingFileSystem dying(stopAt);
          platform::Installed<platform::FileSystem> installed(dying);
          openBinary(1, path("T.DED"));
          writeText(1, 1, newBytes);
          closeFile(1);
          renameFile(path("T.DED"), path("a.DED"));
          std::_Exit(0);
        },
        ::testing::ExitedWithCode(stopAt <= 10 ? 3 : 0), "")
        << "stop at " << stopAt;
    const std::string bytes = readFile("a.DED");
    EXPECT_TRUE(bytes == oldBytes || bytes == newBytes) << "stop at " << stopAt << ": " << bytes;
    if (stopAt > 10) {
      EXPECT_EQ(bytes, newBytes);
    }
    for (const auto& entry : fs::directory_iterator(dir_)) fs::remove(entry.path());
  }
}

// A run killed while it replaced a file leaves its hidden temporary file; the next run
// that writes in that directory removes it, and nothing that merely resembles one.
TEST_F(BinaryFileTest, TheNextWriteRemovesTemporariesAnInterruptedRunLeft) {
  writeFile("a.DED", "old");
  EXPECT_EXIT(
      {
        DyingFileSystem dying(5);  // killed before the temporary file is flushed
        platform::Installed<platform::FileSystem> installed(dying);
        openBinary(1, path("a.DED"));
        writeText(1, 1, std::string(100000, 'x'));
        closeFile(1);
      },
      ::testing::ExitedWithCode(3), "");
  const std::vector<std::string> unrelated = {".a.DED.tw-0000000g", ".a.DED.tw-123", ".notes",
                                              "b.DED.tw-01234567"};
  for (const std::string& name : unrelated) writeFile(name, "keep");
  ASSERT_EQ(entriesInDirectory(), 2 + unrelated.size());

  openBinary(1, path("other.DED"));
  writeText(1, 1, "new");
  closeFile(1);
  EXPECT_EQ(readFile("a.DED"), "old");
  for (const std::string& name : unrelated) EXPECT_EQ(readFile(name), "keep") << name;
  EXPECT_EQ(entriesInDirectory(), 2 + unrelated.size());  // a.DED, other.DED, the others
}

// A file its owner made read-only is read as usual, but neither written nor replaced:
// whoever runs the program, root included.
TEST_F(BinaryFileTest, AReadOnlyFileOpensForReadingOnly) {
  writeFile("a.DED", "protected");
  fs::permissions(path("a.DED"),
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  openBinary(1, path("a.DED"));
  EXPECT_EQ(readText(1, 1, 9), "protected");
  writeText(1, 1, "prot");  // the bytes it holds: no change, no write
  EXPECT_EQ(errorNumberRaisedBy([] { writeText(1, 1, "PLAIN"); }), err::kPathFileAccessError);
  imageForTransform(1)[0] ^= 0xFF;  // changed in place and never restored
  EXPECT_EQ(errorNumberRaisedBy([] { closeFile(1); }), err::kPathFileAccessError);
  EXPECT_FALSE(isOpen(1));
  EXPECT_EQ(readFile("a.DED"), "protected");
  EXPECT_EQ(entriesInDirectory(), 1u);
}

}  // namespace
}  // namespace tollwick
