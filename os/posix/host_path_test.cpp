// The Wine-style mapping of program paths on a real directory tree.

#include "os/posix/host_path.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "platform/testing/scoped_code_page.h"
#include "platform/testing/scratch_directory.h"

namespace tollwick::platform {
namespace {

namespace fs = std::filesystem;

// A Wine prefix whose drive C: is <prefix>/drive_c, as Wine lays it out.
class HostPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(prefix_ + "/drive_c/Games/Zelkor/System");
    fs::create_directories(prefix_ + "/dosdevices");
    fs::create_directory_symlink("../drive_c", prefix_ + "/dosdevices/c:");
    std::ofstream(prefix_ + "/drive_c/Games/Zelkor/System/ZelkorSystemMain.MSF") << "x";
  }
  std::string drive(const std::string& rest) const { return prefix_ + "/dosdevices/c:" + rest; }

  tollwick::testing::ScratchDirectory scratch_{"tollwick-prefix-"};
  std::string prefix_ = scratch_.path().string();
};

TEST_F(HostPathTest, DriveLetterGoesThroughDosDevicesAndBackslashesBecomeSlashes) {
  EXPECT_EQ(hostPath("C:\\Games\\Zelkor\\System\\ZelkorSystemMain.MSF", prefix_),
            drive("/Games/Zelkor/System/ZelkorSystemMain.MSF"));
  EXPECT_EQ(hostPath("c:\\Games\\", prefix_), drive("/Games/"));
  EXPECT_EQ(hostPath("C:\\\\Games//Zelkor", prefix_), drive("/Games/Zelkor"));
  EXPECT_EQ(hostPath("C:", prefix_), drive(""));
  EXPECT_TRUE(fs::exists(hostPath("C:\\Games\\Zelkor\\System\\ZelkorSystemMain.MSF", prefix_)));
}

TEST_F(HostPathTest, ComponentsMissingAsWrittenMatchIgnoringCase) {
  EXPECT_EQ(hostPath("C:\\GAMES\\zelkor\\SYSTEM\\zelkorsystemmain.msf", prefix_),
            drive("/Games/Zelkor/System/ZelkorSystemMain.MSF"));
  // A name with no match is kept as written, and so is everything below it.
  EXPECT_EQ(hostPath("C:\\games\\New\\ZELKOR\\File.DED", prefix_),
            drive("/Games/New/ZELKOR/File.DED"));
  EXPECT_EQ(hostPath("C:\\games\\zelkor\\System\\..\\SYSTEM\\.", prefix_),
            drive("/Games/Zelkor/System/../System/."));
}

TEST_F(HostPathTest, AnExactMatchWinsOverOneIgnoringCase) {
  fs::create_directory(prefix_ + "/drive_c/games");
  EXPECT_EQ(hostPath("C:\\games", prefix_), drive("/games"));
  EXPECT_EQ(hostPath("C:\\Games", prefix_), drive("/Games"));
}

TEST_F(HostPathTest, Windows1252NamesBecomeUtf8AndFoldAccentedLetters) {
  tollwick::testing::ScopedCodePage western(1252);
  fs::create_directory(prefix_ + "/drive_c/Caf\xC3\xA9");
  EXPECT_EQ(hostPath("C:\\Caf\xE9", prefix_), drive("/Caf\xC3\xA9"));
  EXPECT_EQ(hostPath("C:\\CAF\xC9", prefix_), drive("/Caf\xC3\xA9"));
  EXPECT_EQ(hostPath("C:\\Na\xEFve", prefix_), drive("/Na\xC3\xAFve"));
}

TEST_F(HostPathTest, PathsWithoutADriveStayAbsoluteOrRelative) {
  EXPECT_EQ(hostPath(prefix_ + "\\drive_c\\GAMES", prefix_), prefix_ + "/drive_c/Games");
  EXPECT_EQ(hostPath(prefix_ + "/drive_c/Games\\Zelkor", "/unused"),
            prefix_ + "/drive_c/Games/Zelkor");
  EXPECT_EQ(hostPath("no-such-dir-4711\\File.txt", prefix_), "no-such-dir-4711/File.txt");
}

TEST_F(HostPathTest, ThePrefixComesFromWinePrefixOrHome) {
  const char* saved = std::getenv("WINEPREFIX");
  const std::string savedPrefix = saved != nullptr ? saved : "";
  ::setenv("WINEPREFIX", prefix_.c_str(), 1);
  EXPECT_EQ(winePrefix(), prefix_);
  EXPECT_EQ(hostPath("C:\\GAMES"), drive("/Games"));
  ::unsetenv("WINEPREFIX");
  EXPECT_EQ(winePrefix(), std::string(std::getenv("HOME")) + "/.wine");
  if (saved != nullptr) ::setenv("WINEPREFIX", savedPrefix.c_str(), 1);
}

}  // namespace
}  // namespace tollwick::platform
