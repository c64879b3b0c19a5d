#include <gtest/gtest.h>

#include <filesystem>

#include "platform/process.h"
#include "platform/seam.h"

namespace tollwick::platform {
namespace {

TEST(PosixProcess, TheApplicationDirectoryHoldsTheRunningExecutable) {
  auto process = makeSystemFacility<Process>();
  const std::filesystem::path directory = process->applicationDirectory();
  EXPECT_TRUE(directory.is_absolute());
  EXPECT_TRUE(std::filesystem::exists(directory / "posix_platform_tests"));
}

TEST(PosixProcess, AnotherHolderOfTheLockCountsAsARunningCopy) {
  auto first = makeSystemFacility<Process>();
  auto second = makeSystemFacility<Process>();
  EXPECT_FALSE(first->previousInstanceRunning());
  EXPECT_FALSE(first->previousInstanceRunning()) << "a copy must not refuse itself";
  EXPECT_TRUE(second->previousInstanceRunning());
  first.reset();  // the lock is held for the life of its holder only
}

}  // namespace
}  // namespace tollwick::platform
