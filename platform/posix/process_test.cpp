#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/process.h"
#include "platform/seam.h"
#include "platform/testing/scratch_directory.h"

namespace tollwick::platform {
namespace {

// Sets an environment variable for one scope (unset with nullopt).
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(PosixProcess, TheApplicationDirectoryHoldsTheRunningExecutable) {
  auto process = makeSystemFacility<Process>();
  const std::filesystem::path directory = process->applicationDirectory();
  EXPECT_TRUE(directory.is_absolute());
  EXPECT_TRUE(std::filesystem::exists(directory / "posix_platform_tests"));
}

TEST(PosixProcess, AnotherHolderOfTheLockCountsAsARunningCopy) {
  testing::ScratchDirectory runtime("tollwick-runtime-");
  ::chmod(runtime.path().c_str(), 0700);
  const ScopedEnvironment xdg("XDG_RUNTIME_DIR", runtime.path().string());
  auto first = makeSystemFacility<Process>();
  auto second = makeSystemFacility<Process>();
  EXPECT_FALSE(first->previousInstanceRunning());
  EXPECT_FALSE(first->previousInstanceRunning()) << "a copy must not refuse itself";
  EXPECT_TRUE(second->previousInstanceRunning());
  first.reset();  // the lock is held for the life of its holder only
}

size_t entriesIn(const std::filesystem::path& directory) {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(directory), {}));
}

// The lock lies where nobody else can plant or hold it, never follows a link, and
// leaves nothing behind: in a private runtime folder a lock file that goes with its
// holder; without one (or with one others may write into), nothing in the shared
// temporary folder at all.
TEST(PosixProcess, TheLockLeavesNothingBehindAndFollowsNoLink) {
  namespace fs = std::filesystem;
  testing::ScratchDirectory runtime("tollwick-runtime-");
  testing::ScratchDirectory shared("tollwick-tmp-");
  ::chmod(runtime.path().c_str(), 0700);
  const ScopedEnvironment tmp("TMPDIR", shared.path().string());
  {
    const ScopedEnvironment xdg("XDG_RUNTIME_DIR", runtime.path().string());
    auto first = makeSystemFacility<Process>();
    EXPECT_FALSE(first->previousInstanceRunning());
    EXPECT_TRUE(makeSystemFacility<Process>()->previousInstanceRunning());
    ASSERT_EQ(entriesIn(runtime.path()), 1u);
    const fs::path lock = fs::directory_iterator(runtime.path())->path();
    first.reset();
    EXPECT_FALSE(fs::exists(lock)) << "the lock file outlived its holder";

    // A link planted under the lock's name is not followed.
    const fs::path elsewhere = shared.path() / "planted";
    fs::create_symlink(elsewhere, lock);
    EXPECT_FALSE(makeSystemFacility<Process>()->previousInstanceRunning());
    EXPECT_FALSE(fs::exists(elsewhere));
    fs::remove(lock);
  }
  for (const std::optional<std::string>& xdg :
       {std::optional<std::string>(), std::optional<std::string>(shared.path().string())}) {
    ::chmod(shared.path().c_str(), 0777);
    const ScopedEnvironment runtimeDir("XDG_RUNTIME_DIR", xdg);
    auto first = makeSystemFacility<Process>();
    EXPECT_FALSE(first->previousInstanceRunning());
    EXPECT_TRUE(makeSystemFacility<Process>()->previousInstanceRunning());
    EXPECT_EQ(entriesIn(shared.path()), 0u);
  }
}

}  // namespace
}  // namespace tollwick::platform
