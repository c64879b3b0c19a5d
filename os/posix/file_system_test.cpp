// The POSIX file system: kinds of entries, failures as statuses, and the temporary
// files of an atomic replacement.

#include "os/posix/file_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include "platform/read_whole.h"
#include "platform/testing/scratch_directory.h"

namespace tollwick::platform {
namespace {

namespace fs = std::filesystem;

// A limit no file of these tests reaches.
constexpr uint64_t kAnySize = uint64_t{1} << 40;

class PosixFileSystemTest : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return scratch_.file(name); }
  void writeFile(const std::string& name, const std::string& bytes) const {
    scratch_.write(name, bytes);
  }
  std::string readFile(const std::string& name) const { return scratch_.read(name); }
  Code append(WritableFile& file, const std::string& bytes) {
    return file.append({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}).code();
  }

  tollwick::testing::ScratchDirectory scratch_{"tollwick-posixfs-"};
  fs::path dir_ = scratch_.path();
  std::unique_ptr<FileSystem> fs_ = makePosixFileSystem();
};

TEST_F(PosixFileSystemTest, ListsEntriesWithTheirKinds) {
  writeFile("Normal.DED", "n");
  writeFile(".hidden", "h");
  fs::create_directory(path("Folder"));
  fs::create_symlink(path("Normal.DED"), path("Link.DED"));
  fs::create_symlink(path("missing"), path("Broken"));
  const Result<std::vector<DirEntry>> entries = fs_->listDirectory(dir_.string());
  ASSERT_TRUE(entries.ok());
  std::map<std::string, EntryKind> kinds;
  for (const DirEntry& entry : *entries) kinds[entry.name] = entry.kind;
  EXPECT_EQ(kinds, (std::map<std::string, EntryKind>{{"Normal.DED", EntryKind::kNormalFile},
                                                     {".hidden", EntryKind::kHiddenFile},
                                                     {"Folder", EntryKind::kDirectory},
                                                     {"Link.DED", EntryKind::kNormalFile},
                                                     {"Broken", EntryKind::kOther}}));
  const Result<DirEntry> entry = fs_->lookup(path("NORMAL.ded"));
  ASSERT_TRUE(entry.ok());
  EXPECT_EQ(entry->name, "Normal.DED");
  EXPECT_EQ(entry->kind, EntryKind::kNormalFile);
  EXPECT_EQ(fs_->listDirectory(path("none")).status().code(), Code::kPathNotFound);
}

// A file's identity vouches for its bytes only once its last change lies behind the
// clock's coarsest tick; any change or replacement gives another identity.
TEST_F(PosixFileSystemTest, AnIdentityIsKnownForAFileThatIsNotChanging) {
  writeFile("a.DED", "contents");
  // Times that are not behind the present (here: in the future) vouch for nothing.
  fs::last_write_time(path("a.DED"), fs::file_time_type::clock::now() + std::chrono::hours(1));
  Result<FileRead> fresh = fs_->readFileWithIdentity(path("a.DED"), kAnySize);
  ASSERT_TRUE(fresh.ok());
  EXPECT_FALSE(fresh->identity.known);
  fs::last_write_time(path("a.DED"), fs::file_time_type::clock::now() - std::chrono::hours(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(150));

  Result<FileRead> settled = fs_->readFileWithIdentity(path("a.DED"), kAnySize);
  ASSERT_TRUE(settled.ok());
  const FileIdentity read = settled->identity;
  EXPECT_TRUE(read.known);
  EXPECT_EQ(read.size, 8u);
  Result<FileIdentity> now = fs_->identify(path("A.ded"));
  ASSERT_TRUE(now.ok());
  EXPECT_EQ(*now, read);

  writeFile("a.DED", "CONTENTS");
  now = fs_->identify(path("a.DED"));
  ASSERT_TRUE(now.ok());
  EXPECT_NE(*now, read);
  writeFile("b.DED", "contents");
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  fs::rename(path("b.DED"), path("a.DED"));
  now = fs_->identify(path("a.DED"));
  ASSERT_TRUE(now.ok());
  EXPECT_NE(now->file, read.file);
  EXPECT_EQ(fs_->identify(path("missing")).status().code(), Code::kNotFound);
  fs::create_directory(path("Folder"));
  now = fs_->identify(path("Folder"));
  ASSERT_TRUE(now.ok());
  EXPECT_FALSE(now->known);
}

// A failure names what went wrong, the file it concerns and the system's own error.
TEST_F(PosixFileSystemTest, FailuresBecomeStatuses) {
  const Status missing = fs_->readFile(path("missing"), kAnySize).status();
  EXPECT_EQ(missing.code(), Code::kNotFound);
  EXPECT_EQ(missing.osError(), ENOENT);
  EXPECT_EQ(missing.context(), path("missing"));
  EXPECT_EQ(fs_->readFile(path("none\\missing"), kAnySize).status().code(), Code::kPathNotFound);
  EXPECT_EQ(fs_->lookup(path("none\\missing")).status().code(), Code::kPathNotFound);
  fs::create_directory(path("Folder"));
  EXPECT_EQ(fs_->readFile(path("Folder"), kAnySize).status().code(), Code::kUnusable);
  EXPECT_EQ(fs_->remove(path("missing")).code(), Code::kNotFound);
  EXPECT_EQ(fs_->rename(path("missing"), path("other")).code(), Code::kNotFound);
  writeFile("a", "a");
  EXPECT_EQ(fs_->rename(path("a"), path("none\\b")).code(), Code::kPathNotFound);
  if (::geteuid() != 0) {  // root ignores permissions
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    const Status refused = fs_->createTempBeside(path("a")).status();
    EXPECT_EQ(refused.code(), Code::kAccessDenied);
    EXPECT_EQ(refused.osError(), EACCES);
    EXPECT_EQ(fs_->remove(path("a")).code(), Code::kAccessDenied);
  }
}

// The large one is filled in pieces from several threads: every byte must land at its
// own place (no byte pattern repeats at any piece boundary's distance).
TEST_F(PosixFileSystemTest, ReadsWholeFilesOfAnySize) {
  for (const size_t size : {size_t{3} * 1024 * 1024 + 7, size_t{37} * 1024 * 1024 + 7}) {
    std::string big(size, '\0');
    for (size_t i = 0; i < big.size(); ++i) {
      big[i] = static_cast<char>((static_cast<uint32_t>(i) * 2654435761U) >> 13);
    }
    writeFile("big", big);
    const Result<ByteBuffer> bytes = fs_->readFile(path("big"), kAnySize);
    ASSERT_TRUE(bytes.ok());
    EXPECT_TRUE(std::string(bytes->begin(), bytes->end()) == big) << size;
  }
  writeFile("empty", "");
  const Result<ByteBuffer> bytes = fs_->readFile(path("empty"), kAnySize);
  ASSERT_TRUE(bytes.ok());
  EXPECT_TRUE(bytes->empty());
}

// A file longer than its reader allows is refused: by its size before a byte is read,
// and, where its size lied (a file system that reports none and never ends, a file that
// grows), as soon as the read passes the limit, never after reading on to its end.
TEST_F(PosixFileSystemTest, AFileIsReadNoFurtherThanItsLimit) {
  writeFile("eleven", "eleven byte");
  EXPECT_EQ(fs_->readFile(path("eleven"), 11).status().code(), Code::kOk);
  EXPECT_EQ(fs_->readFile(path("eleven"), 10).status().code(), Code::kTooLarge);

  constexpr uint64_t kLimit = uint64_t{1} << 20;
  for (const uint64_t reported : {uint64_t{0}, uint64_t{4096}}) {
    uint64_t given = 0;
    const Result<ByteBuffer> endless =
        readToEnd("endless", reported, kLimit, [&given](uint8_t* into, size_t capacity) {
          std::fill(into, into + capacity, uint8_t{0x5A});
          given += capacity;
          // A reader that goes on past twice the limit has failed already: stop it there.
          return given > 2 * kLimit ? Result<size_t>(Code::kIoError) : Result<size_t>(capacity);
        });
    EXPECT_EQ(endless.status().code(), Code::kTooLarge) << reported;
    EXPECT_LE(given, kLimit + 1) << reported;
  }
}

TEST_F(PosixFileSystemTest, TemporaryFileIsHiddenExclusiveAndKeepsTheTargetsMode) {
  writeFile("Game.DED", "old");
  fs::permissions(path("Game.DED"),
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  Result<std::unique_ptr<WritableFile>> madeFirst = fs_->createTempBeside(path("Game.DED"));
  Result<std::unique_ptr<WritableFile>> madeSecond = fs_->createTempBeside(path("Game.DED"));
  ASSERT_TRUE(madeFirst.ok());
  ASSERT_TRUE(madeSecond.ok());
  const std::unique_ptr<WritableFile> first = std::move(madeFirst).value();
  const std::unique_ptr<WritableFile> second = std::move(madeSecond).value();
  EXPECT_NE(first->path(), second->path());
  EXPECT_EQ(fs::path(first->path()).parent_path(), dir_);
  EXPECT_EQ(fs::path(first->path()).filename().string()[0], '.');
  EXPECT_EQ(fs::status(first->path()).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_EQ(append(*first, "new"), Code::kOk);
  ASSERT_TRUE(first->sync().ok());
  ASSERT_TRUE(first->close().ok());
  ASSERT_TRUE(fs_->rename(first->path(), path("Game.DED")).ok());
  ASSERT_TRUE(fs_->syncDirectoryOf(path("Game.DED")).ok());
  EXPECT_EQ(readFile("Game.DED"), "new");
  ASSERT_TRUE(fs_->remove(second->path()).ok());
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 1);
}

// Windows refuses to delete a file another program holds open; so does this layer, which
// finds the holder through /proc (here a child process, as the game under Wine would be).
TEST_F(PosixFileSystemTest, AFileAnotherProcessHoldsOpenIsNotRemoved) {
  writeFile("Held.DED", "held");
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int fd = ::open(path("Held.DED").c_str(), O_RDONLY);
    (void)!::write(ready[1], fd >= 0 ? "1" : "0", 1);
    ::pause();
    ::_exit(0);
  }
  char opened = 0;
  ASSERT_EQ(::read(ready[0], &opened, 1), 1);
  EXPECT_EQ(fs_->remove(path("Held.DED")).code(), Code::kAccessDenied);
  EXPECT_EQ(readFile("Held.DED"), "held");
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ::close(ready[0]);
  ::close(ready[1]);
  EXPECT_EQ(opened, '1');
  EXPECT_TRUE(fs_->remove(path("Held.DED")).ok());  // let go: removed
}

TEST_F(PosixFileSystemTest, ReplacingALinkReplacesTheFileItNames) {
  fs::create_directory(path("real"));
  writeFile("real/Game.DED", "old");
  fs::create_symlink(path("real/Game.DED"), path("Game.DED"));
  Result<std::unique_ptr<WritableFile>> made = fs_->createTempBeside(path("Game.DED"));
  ASSERT_TRUE(made.ok());
  const std::unique_ptr<WritableFile> temp = std::move(made).value();
  EXPECT_EQ(fs::path(temp->path()).parent_path(), dir_ / "real");
  ASSERT_EQ(append(*temp, "new"), Code::kOk);
  ASSERT_TRUE(temp->close().ok());
  ASSERT_TRUE(fs_->rename(temp->path(), path("Game.DED")).ok());
  EXPECT_TRUE(fs::is_symlink(path("Game.DED")));
  EXPECT_EQ(readFile("real/Game.DED"), "new");
}

}  // namespace
}  // namespace tollwick::platform
