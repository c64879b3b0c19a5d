// sarnReadRegistry on Linux with nothing doubled but the user and the game strings:
// the settings come from a Wine prefix's system.reg, and the game's drive C: is the
// prefix's drive_c, reached through dosdevices.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>

#include "platform/testing/fake_process.h"
#include "resources/testing/scoped_game_strings.h"
#include "runtime/testing/recording_dialog.h"
#include "settings/installation_settings.h"
#include "settings/read_registry.h"

namespace tollwick {
namespace {

namespace fs = std::filesystem;

void spit(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Points $WINEPREFIX at a new prefix for the life of the object.
class ScopedWinePrefix {
 public:
  ScopedWinePrefix() {
    // A name of its own: other builds may run the same test at the same time.
    std::random_device random;
    path_ = fs::path(::testing::TempDir()) /
            ("tollwick-settings-prefix-" + std::to_string(random()) + std::to_string(random()));
    fs::create_directories(path_ / "dosdevices");
    fs::create_directories(path_ / "drive_c");
    fs::create_directory_symlink("../drive_c", path_ / "dosdevices" / "c:");
    if (const char* old = std::getenv("WINEPREFIX")) previous_ = old;
    ::setenv("WINEPREFIX", path_.c_str(), 1);
  }
  ~ScopedWinePrefix() {
    if (previous_) {
      ::setenv("WINEPREFIX", previous_->c_str(), 1);
    } else {
      ::unsetenv("WINEPREFIX");
    }
    fs::remove_all(path_);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
  std::optional<std::string> previous_;
};

TEST(ReadRegistryInWinePrefix, WorkingDirectoryOnDriveCReachesThePrefixsDriveC) {
  ScopedWinePrefix prefix;
  // The host spells the folders its own way; Windows names match without case.
  const fs::path system = prefix.path() / "drive_c" / "games" / "ZELKOR" / "System";
  fs::create_directories(system / "Zelkor");
  spit(system / "Wipe.flg", "");
  spit(system / "ZelkorSystemMain.MSF", "main");
  spit(system / "Zelkor" / "ZELKORSystemData.DED", "data");
  spit(system / "Zelkor" / "ZelkorSystemHeader.MSF", "header");
  spit(prefix.path() / "system.reg",
       "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n\n"
       "[Software\\\\Wow6432Node\\\\Varnholt\\\\Zelkor] 1796619687\n#time=1dd8608042a6cde\n"
       "\"NoMusic\"=\"True\"\n"
       "\"WipeSystem\"=\"T\"\n"
       "\"WorkingDirectory\"=\"C:\\\\Games\\\\Zelkor\"\n");

  auto strings = testing::numberedGameStrings();
  strings[253] = "Wipe.flg";
  strings[254] = "Wipe.flg";
  strings[257] = "ZelkorSystemMain.MSF";
  strings[258] = "*.MSF";
  strings[259] = "ZELKORSystemData.DED";
  strings[260] = "*.DED";
  strings[261] = "F";
  testing::ScopedGameStrings gameStrings(strings);
  testing::ScopedFakeProcess process;
  testing::ScopedRecordingDialog dialog;
  dialog.answers = {platform::box::kAnswerYes};
  resetInstallationSettings();

  EXPECT_TRUE(sarnReadRegistry());
  const InstallationSettings& settings = installationSettings();
  EXPECT_EQ(settings.systemRootDirectory, "C:\\Games\\Zelkor\\System\\");
  EXPECT_EQ(dialog.boxes.size(), 1u);  // the wipe question, answered Yes
  EXPECT_FALSE(fs::exists(system / "ZelkorSystemMain.MSF"));
  EXPECT_FALSE(fs::exists(system / "Zelkor" / "ZELKORSystemData.DED"));
  EXPECT_TRUE(fs::exists(system / "Zelkor" / "ZelkorSystemHeader.MSF"));
  EXPECT_TRUE(fs::exists(system / "Wipe.flg"));
  EXPECT_TRUE(settings.noMusic);
  EXPECT_NE(slurp(prefix.path() / "system.reg").find("\"WipeSystem\"=hex(1):46,00\n"),
            std::string::npos);
  resetInstallationSettings();
}

}  // namespace
}  // namespace tollwick
