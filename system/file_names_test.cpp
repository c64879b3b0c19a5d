// System file names and paths, on a real directory through the system's file system
// and, for failures a test cannot provoke there, on FaultFs.

#include "system/file_names.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/seam.h"
#include "platform/testing/fault_fs.h"
#include "platform/testing/scratch_directory.h"
#include "runtime/testing/recording_dialog.h"
#include "settings/installation_settings.h"

namespace tollwick {
namespace {

namespace fs = std::filesystem;

TEST(SysAddBackslashTest, AddsOneBackslashOnlyWhenMissing) {
  EXPECT_EQ(sysAddBackslash(""), "\\");
  EXPECT_EQ(sysAddBackslash("C:\\Games"), "C:\\Games\\");
  EXPECT_EQ(sysAddBackslash("C:\\Games\\"), "C:\\Games\\");
  EXPECT_EQ(sysAddBackslash("Zelkor/"), "Zelkor/\\");
}

// A game "System" folder in a temporary directory, named with program paths.
class FileNamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_ / "System" / "Zelkor");
    resetInstallationSettings();
    installationSettings().systemRootDirectory = root_.string() + "\\System\\";
    installationSettings().currentSystemDirectory = "Zelkor";
  }
  void TearDown() override { resetInstallationSettings(); }

  // Program path of `name` in the current system's directory.
  std::string systemPath(const std::string& name) const {
    return root_.string() + "\\System\\Zelkor\\" + name;
  }
  void touch(const fs::path& host) const { std::ofstream(host) << "x"; }
  fs::path hostInSystem(const std::string& name) const {
    return root_ / "System" / "Zelkor" / name;
  }

  tollwick::testing::ScratchDirectory scratch_{"tollwick-names-"};
  fs::path root_ = scratch_.path();
};

TEST_F(FileNamesTest, OnlyNormalFilesExist) {
  touch(hostInSystem("ZELKORCharacters.DED"));
  touch(hostInSystem(".hidden.DED"));
  fs::create_directory(hostInSystem("Folder.DED"));

  std::string path = systemPath("ZELKORCharacters.DED");
  EXPECT_TRUE(sysFileExists(path));
  path = systemPath("zelkorcharacters.ded");  // names match ignoring case
  EXPECT_TRUE(sysFileExists(path));
  path = systemPath(".hidden.DED");
  EXPECT_FALSE(sysFileExists(path));
  path = systemPath("Folder.DED");
  EXPECT_FALSE(sysFileExists(path));
  path = systemPath("Missing.DED");
  EXPECT_FALSE(sysFileExists(path));
  path = root_.string() + "\\NoSuchFolder\\ZELKORCharacters.DED";
  EXPECT_FALSE(sysFileExists(path));
  path = "";
  EXPECT_FALSE(sysFileExists(path));
}

TEST_F(FileNamesTest, WildcardPatternExistsWhenANormalFileMatches) {
  touch(hostInSystem(".hidden.DED"));
  fs::create_directory(hostInSystem("Folder.DED"));
  std::string pattern = systemPath("*.DED");
  EXPECT_FALSE(sysFileExists(pattern));  // only a hidden file and a directory match

  touch(hostInSystem("ZELKORDungeon.DED"));
  EXPECT_TRUE(sysFileExists(pattern));
  pattern = systemPath("ZELKORDungeo?.d*");
  EXPECT_TRUE(sysFileExists(pattern));
  pattern = systemPath("ZELKOR?Dungeon.DED");
  EXPECT_FALSE(sysFileExists(pattern));
}

TEST_F(FileNamesTest, PathIsCutAtItsFirstNulInTheCallersText) {
  touch(hostInSystem("ZELKORCharacters.DED"));
  const std::string name = systemPath("ZELKORCharacters.DED");
  std::string path = name + std::string("\0garbage\0", 9);
  EXPECT_TRUE(sysFileExists(path));
  EXPECT_EQ(path, name);

  path = std::string("\0", 1) + name;
  EXPECT_FALSE(sysFileExists(path));
  EXPECT_EQ(path, "");
}

TEST_F(FileNamesTest, RefusedSearchCountsAsExistingAndOtherFailuresAsMissing) {
  testing::FaultFs faultFs;
  faultFs.addDirectory("G");
  platform::Installed<platform::FileSystem> installed(faultFs);
  testing::ScopedRecordingDialog dialog;
  std::string path = "G\\Missing.DED";
  faultFs.failAt(1, platform::Code::kAccessDenied);
  EXPECT_TRUE(sysFileExists(path));
  faultFs.failAt(2, platform::Code::kIoError);
  EXPECT_FALSE(sysFileExists(path));
  EXPECT_TRUE(dialog.boxes.empty());
}

TEST_F(FileNamesTest, FileNameJoinsTheSystemDirectoriesWithOneBackslash) {
  const std::string expected = systemPath("ZELKORCharacters.DED");
  EXPECT_EQ(sysGetFileName("ZELKORCharacters.DED"), expected);
  installationSettings().currentSystemDirectory = "Zelkor\\";
  EXPECT_EQ(sysGetFileName("ZELKORCharacters.DED"), expected);
  EXPECT_EQ(sysGetFileName("ZELKORCharacters.DED", "Backup\\"),
            systemPath("Backup\\ZELKORCharacters.DED"));
  EXPECT_EQ(sysGetFileName("ZELKORCharacters.DED", "D:\\Saves\\", true, true),
            "D:\\Saves\\ZELKORCharacters.DED");
  EXPECT_EQ(sysGetFileName("a.DED", "D:"), "D:a.DED");  // no separator is inserted
}

TEST_F(FileNamesTest, DeleteFlagRemovesAnExistingFileOnlyForSystemPaths) {
  touch(hostInSystem("ZELKORCharactersTemp.DED"));
  EXPECT_EQ(sysGetFileName("ZELKORCharactersTemp.DED", "", true),
            systemPath("ZELKORCharactersTemp.DED"));
  EXPECT_FALSE(fs::exists(hostInSystem("ZELKORCharactersTemp.DED")));
  // Nothing to delete is no error.
  EXPECT_EQ(sysGetFileName("ZELKORCharactersTemp.DED", "", true),
            systemPath("ZELKORCharactersTemp.DED"));

#ifndef _WIN32  // a colon cannot be part of a file name on Windows
  // A directory whose name holds a colon counts as absolute: nothing is deleted there.
  const fs::path absolute = root_ / "D:Saves";
  fs::create_directory(absolute);
  touch(absolute / "ZELKORCharacters.DED");
  EXPECT_EQ(sysGetFileName("ZELKORCharacters.DED", absolute.string() + "\\", true),
            absolute.string() + "\\ZELKORCharacters.DED");
  EXPECT_TRUE(fs::exists(absolute / "ZELKORCharacters.DED"));
#endif
}

TEST_F(FileNamesTest, FailedDeletionIsReportedAndGivesAnEmptyName) {
  testing::FaultFs faultFs;
  installationSettings().systemRootDirectory = "G\\";
  installationSettings().currentSystemDirectory = "Zelkor";
  faultFs.putFile("G\\Zelkor\\ZELKORCharactersTemp.DED", "old");
  platform::Installed<platform::FileSystem> installed(faultFs);
  testing::ScopedRecordingDialog dialog;
  faultFs.failAt(3, platform::Code::kAccessDenied);  // lookup, lookup, remove
  EXPECT_EQ(sysGetFileName("ZELKORCharactersTemp.DED", "", true), "");
  EXPECT_EQ(dialog.prompts(),
            std::vector<std::string>{"Error 'Permission denied' occurred in "
                                     "(Tollwick)modZELKORSystem:sysGetFileName!"});
  EXPECT_TRUE(faultFs.visibleFile("G\\Zelkor\\ZELKORCharactersTemp.DED").has_value());
}

}  // namespace
}  // namespace tollwick
