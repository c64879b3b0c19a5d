#include "os/posix/process.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/seam.h"
#include "platform/testing/scratch_directory.h"

namespace tollwick::platform {
namespace {

namespace fs = std::filesystem;

TEST(PosixProcess, TheApplicationDirectoryHoldsTheRunningExecutable) {
  auto process = makeSystemFacility<Process>();
  const fs::path directory = process->applicationDirectory();
  EXPECT_TRUE(directory.is_absolute());
  EXPECT_TRUE(fs::exists(directory / "posix_platform_tests"));
}

size_t entriesIn(const fs::path& directory) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(directory), {}));
}

// One lock per game folder, whatever the spelling that leads to it (here the folder
// and a link to it): the first copy holds it for its life and never refuses itself, a
// second is refused. The lock file never follows a link planted under its name and
// goes with its holder.
TEST(PosixProcess, TheLockIsTheFoldersWhateverItsSpellingAndLeavesNothingBehind) {
  testing::ScratchDirectory locks("tollwick-locks-");
  testing::ScratchDirectory game("tollwick-game-");
  fs::create_directory(game.path() / "Zelkor");
  fs::create_directory_symlink(game.path() / "Zelkor", game.path() / "Spelled otherwise");
  const auto lockFolder = [&locks] { return locks.path().string(); };

  auto first = makePosixProcess(lockFolder);
  auto second = makePosixProcess(lockFolder);
  first->chooseApplicationDirectory(game.file("Zelkor"));
  second->chooseApplicationDirectory(game.file("Spelled otherwise") + "/");
  EXPECT_FALSE(first->previousInstanceRunning());
  EXPECT_FALSE(first->previousInstanceRunning()) << "a copy must not refuse itself";
  EXPECT_TRUE(second->previousInstanceRunning());
  ASSERT_EQ(entriesIn(locks.path()), 1u);
  const fs::path lock = fs::directory_iterator(locks.path())->path();
  first.reset();
  EXPECT_FALSE(fs::exists(lock)) << "the lock file outlived its holder";

  const fs::path elsewhere = game.path() / "planted";
  fs::create_symlink(elsewhere, lock);
  EXPECT_FALSE(second->previousInstanceRunning());
  EXPECT_FALSE(fs::exists(elsewhere));
}

// The lock folder is one nobody else may enter: made so when missing, closed when
// others may enter it, refused when it is a link.
TEST(PosixProcess, TheLockFolderIsClosedToEverybodyElse) {
  testing::ScratchDirectory home("tollwick-home-");
  const auto modeOf = [](const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
  };
  EXPECT_EQ(privateFolder(home.file("new")), home.file("new"));
  EXPECT_EQ(modeOf(home.file("new")), 0700u);
  fs::create_directory(home.file("open"));
  ::chmod(home.file("open").c_str(), 0777);
  EXPECT_EQ(privateFolder(home.file("open")), home.file("open"));
  EXPECT_EQ(modeOf(home.file("open")), 0700u);
  fs::create_directory_symlink(home.file("open"), home.file("link"));
  EXPECT_EQ(privateFolder(home.file("link")), "");
}

}  // namespace
}  // namespace tollwick::platform
