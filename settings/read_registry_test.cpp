// sarnReadRegistry over an in-memory registry and file system: the defaults, the
// directories, the flags and the wipe request with each of its answers and failures.

#include "settings/read_registry.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/dialog.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/seam.h"
#include "platform/testing/fake_process.h"
#include "platform/testing/fault_fs.h"
#include "platform/testing/memory_registry.h"
#include "resources/testing/scoped_game_strings.h"
#include "runtime/testing/recording_dialog.h"
#include "settings/installation_settings.h"

namespace tollwick {
namespace {

using namespace std::string_literals;
namespace reg = platform::reg;
using testing::ProgramEnded;
using testing::ShownBox;

constexpr const char* kKey = "SOFTWARE\\Varnholt\\Zelkor";
constexpr const char* kRoot = "C:\\Games\\Zelkor\\System\\";

std::map<uint32_t, std::string> wipeGameStrings() {
  auto strings = testing::numberedGameStrings();
  strings[253] = "Wipe.flg";  // looked for in the system root
  strings[254] = "Wipe.flg";  // looked for in "Zelkor\"
  strings[255] = "Wipe the game systems?";
  strings[256] = "Wipe";
  strings[257] = "ZelkorSystemMain.MSF";
  strings[258] = "*.MSF";
  strings[259] = "ZELKORSystemData.DED";
  strings[260] = "*.DED";
  strings[261] = "F";
  strings[263] = "The Default System";
  strings[264] = "Error reading the settings: '";
  return strings;
}

class ReadRegistryTest : public ::testing::Test {
 protected:
  ReadRegistryTest() : files_(fs_) {
    useStrings(wipeGameStrings());
    resetInstallationSettings();
    fs_.addDirectory("C:\\Games\\Zelkor");
  }
  ~ReadRegistryTest() override { resetInstallationSettings(); }

  void set(const std::string& name, const std::string& text) {
    registry_.putValue(kKey, name, reg::kSz, text + '\0');
  }
  void useStrings(std::map<uint32_t, std::string> strings) {
    strings_.reset();
    strings_.emplace(std::move(strings));
  }
  std::optional<testing::MemoryRegistry::StoredValue> stored(const std::string& name) {
    return registry_.value(kKey, name);
  }

  testing::ScopedMemoryRegistry registry_;
  testing::ScopedFakeProcess process_;  // application directory C:\Games\Zelkor
  testing::ScopedRecordingDialog dialog_;
  std::optional<testing::ScopedGameStrings> strings_;
  testing::FaultFs fs_;
  platform::Installed<platform::FileSystem> files_;
  const InstallationSettings& settings_ = installationSettings();
};

TEST_F(ReadRegistryTest, NoSettingsKeyGivesTheDefaults) {
  EXPECT_TRUE(sarnReadRegistry());
  EXPECT_EQ(settings_.settingsKey, kKey);
  EXPECT_EQ(settings_.workingDirectory, "C:\\Games\\Zelkor\\");
  EXPECT_EQ(settings_.systemRootDirectory, kRoot);
  EXPECT_EQ(settings_.currentSystemDirectory, "Zelkor\\");
  EXPECT_EQ(settings_.defaultSystemName, "The Default System");
  EXPECT_FALSE(settings_.loadDefaultSystem);
  EXPECT_FALSE(settings_.noBlood || settings_.noMultiRoomCallback || settings_.musicVolume);
  EXPECT_EQ(settings_.graphicsMode, "");
  EXPECT_TRUE(dialog_.boxes.empty());
  EXPECT_EQ(registry_.writeCalls, 0);
}

TEST_F(ReadRegistryTest, SettingsAreReadInTheirOrder) {
  set("LoadDefaultSystem", "T");
  sarnReadRegistry();
  const std::vector<std::string> expected = {"WorkingDirectory",
                                             "WipeSystem",
                                             "NoBlood",
                                             "NoLanguage",
                                             "AutoBackup",
                                             "NoFullScreen",
                                             "NoMusic",
                                             "NoFX",
                                             "NoPartyFX",
                                             "NoDing",
                                             "NoHelpSound",
                                             "NoAutosave",
                                             "MusicVolume",
                                             "NoAmbient",
                                             "NoUnderwater",
                                             "NoAutomapEdges",
                                             "GraphicsMode",
                                             "NoAutolook",
                                             "NoParticles",
                                             "NoLightFlares",
                                             "NoMultiRoomCallback",
                                             "LoadDefaultSystem",
                                             "DefaultSystem",
                                             "SystemDirectory"};
  EXPECT_EQ(registry_.queried, expected);
}

TEST_F(ReadRegistryTest, WorkingDirectoryGivesTheSystemRoot) {
  const std::pair<std::string, std::string> cases[] = {
      {"D:\\Games\\Play", "D:\\Games\\Play\\"},
      {"D:\\Games\\Play\\", "D:\\Games\\Play\\"},
      {"   ", "C:\\Games\\Zelkor\\"},  // blank: the application's directory
      {"", "C:\\Games\\Zelkor\\"},
  };
  for (const auto& [value, working] : cases) {
    SCOPED_TRACE("\"" + value + "\"");
    resetInstallationSettings();
    set("WorkingDirectory", value);
    EXPECT_TRUE(sarnReadRegistry());
    EXPECT_EQ(settings_.workingDirectory, working);
    EXPECT_EQ(settings_.systemRootDirectory, working + "System\\");
  }
}

TEST_F(ReadRegistryTest, FlagsAreOnOnlyWithAnUpperCaseT) {
  struct Flag {
    const char* name;
    bool InstallationSettings::*member;
  };
  const Flag flags[] = {
      {"NoBlood", &InstallationSettings::noBlood},
      {"NoLanguage", &InstallationSettings::noLanguage},
      {"AutoBackup", &InstallationSettings::autoBackup},
      {"NoFullScreen", &InstallationSettings::noFullScreen},
      {"NoMusic", &InstallationSettings::noMusic},
      {"NoFX", &InstallationSettings::noFx},
      {"NoPartyFX", &InstallationSettings::noPartyFx},
      {"NoDing", &InstallationSettings::noDing},
      {"NoHelpSound", &InstallationSettings::noHelpSound},
      {"NoAutosave", &InstallationSettings::noAutosave},
      {"MusicVolume", &InstallationSettings::musicVolume},
      {"NoAmbient", &InstallationSettings::noAmbient},
      {"NoUnderwater", &InstallationSettings::noUnderwater},
      {"NoAutomapEdges", &InstallationSettings::noAutomapEdges},
      {"NoAutolook", &InstallationSettings::noAutolook},
      {"NoParticles", &InstallationSettings::noParticles},
      {"NoLightFlares", &InstallationSettings::noLightFlares},
      {"NoMultiRoomCallback", &InstallationSettings::noMultiRoomCallback},
  };
  const std::pair<std::string, bool> texts[] = {
      {"T", true},     {"True", true}, {"TRUE", true}, {"noT", true}, {"t", false},
      {"true", false}, {"1", false},   {"Yes", false}, {"", false},
  };
  for (const auto& [text, on] : texts) {
    SCOPED_TRACE("\"" + text + "\"");
    resetInstallationSettings();
    for (const Flag& flag : flags) set(flag.name, text);
    set("GraphicsMode", " 1024x768 " + text);
    EXPECT_TRUE(sarnReadRegistry());
    for (const Flag& flag : flags) EXPECT_EQ(settings_.*flag.member, on) << flag.name;
    EXPECT_EQ(settings_.graphicsMode, " 1024x768 " + text);
  }
}

TEST_F(ReadRegistryTest, LoadDefaultSystemChoosesTheSystemDirectory) {
  struct Case {
    const char* load;
    std::optional<std::string> directory;
    std::string current;
    std::string defaultName;
  };
  const Case cases[] = {
      {"True", "Custom\\", "Custom\\", "Mine"},
      {"True", std::nullopt, "Zelkor\\", "Mine"},
      {"True", "  ", "Zelkor\\", "Mine"},
      {"true", "Custom\\", "Zelkor\\", "The Default System"},  // no upper-case T
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.load) + " " + c.directory.value_or("<missing>"));
    resetInstallationSettings();
    registry_.clear();
    set("LoadDefaultSystem", c.load);
    set("DefaultSystem", "Mine");
    if (c.directory) set("SystemDirectory", *c.directory);
    EXPECT_TRUE(sarnReadRegistry());
    EXPECT_EQ(settings_.currentSystemDirectory, c.current);
    EXPECT_EQ(settings_.defaultSystemName, c.defaultName);
  }
}

TEST_F(ReadRegistryTest, WipeWithNeitherFileAsksNothingAndClearsTheRequest) {
  set("WipeSystem", "T");
  fs_.putFile("C:\\Games\\Zelkor\\System\\ZelkorSystemMain.MSF", "main");
  EXPECT_TRUE(sarnReadRegistry());
  EXPECT_TRUE(dialog_.boxes.empty());
  EXPECT_EQ(stored("WipeSystem"), (testing::MemoryRegistry::StoredValue{reg::kSz, "F"}));
  EXPECT_TRUE(fs_.visibleFile("C:\\Games\\Zelkor\\System\\ZelkorSystemMain.MSF"));
}

TEST_F(ReadRegistryTest, WipeAnsweredNoEndsAtOnceWithTheRequestStanding) {
  set("WipeSystem", "True");
  set("NoBlood", "T");
  fs_.putFile("C:\\Games\\Zelkor\\System\\Wipe.flg", "");
  fs_.putFile("C:\\Games\\Zelkor\\System\\ZelkorSystemMain.MSF", "main");
  dialog_.answers = {platform::box::kAnswerNo};
  EXPECT_THROW(sarnReadRegistry(), ProgramEnded);
  EXPECT_EQ(process_.endCalls, 1);
  ASSERT_EQ(dialog_.boxes.size(), 1u);
  EXPECT_EQ(dialog_.boxes[0],
            (ShownBox{"Wipe the game systems?", platform::box::kYesNo, "Wipe", 7}));
  EXPECT_EQ(stored("WipeSystem")->data, "True\0"s);
  EXPECT_FALSE(settings_.noBlood);
  EXPECT_TRUE(fs_.visibleFile("C:\\Games\\Zelkor\\System\\ZelkorSystemMain.MSF"));
}

TEST_F(ReadRegistryTest, WipeAnsweredYesDeletesWhatThePatternsMatch) {
  for (const char* setup : {"root", "system folder"}) {
    SCOPED_TRACE(setup);
    resetInstallationSettings();
    dialog_.boxes.clear();
    (void)fs_.remove(std::string(kRoot) + "Wipe.flg");
    (void)fs_.remove(std::string(kRoot) + "Zelkor\\Wipe.flg");
    set("WipeSystem", "T");
    set("NoBlood", "T");
    const std::string root = kRoot;
    const std::string system = root + "Zelkor\\";
    fs_.putFile((std::string(setup) == "root" ? root : system) + "Wipe.flg", "");
    fs_.putFile(root + "ZelkorSystemMain.MSF", "main");
    fs_.putFile(root + "Other.MSF", "other");
    fs_.putFile(root + "Keep.DED", "keep");
    fs_.putFile(system + "ZELKORSystemData.DED", "data");
    fs_.putFile(system + "ZELKORCharacters.DED", "characters");
    fs_.putFile(system + "ZelkorSystemHeader.MSF", "header");
    dialog_.answers = {platform::box::kAnswerYes};

    EXPECT_TRUE(sarnReadRegistry());
    EXPECT_EQ(dialog_.boxes.size(), 1u);
    EXPECT_FALSE(fs_.visibleFile(root + "ZelkorSystemMain.MSF"));
    EXPECT_FALSE(fs_.visibleFile(root + "Other.MSF"));
    EXPECT_TRUE(fs_.visibleFile(root + "Keep.DED"));
    EXPECT_FALSE(fs_.visibleFile(system + "ZELKORSystemData.DED"));
    EXPECT_FALSE(fs_.visibleFile(system + "ZELKORCharacters.DED"));
    EXPECT_TRUE(fs_.visibleFile(system + "ZelkorSystemHeader.MSF"));
    EXPECT_EQ(stored("WipeSystem")->data, "F");
    EXPECT_TRUE(settings_.noBlood);
    EXPECT_EQ(settings_.currentSystemDirectory, "Zelkor\\");
  }
}

TEST_F(ReadRegistryTest, WipePatternMatchingNothingIsReportedWithGameString264) {
  set("WipeSystem", "T");
  set("NoBlood", "T");
  fs_.putFile(std::string(kRoot) + "Wipe.flg", "");
  fs_.putFile(std::string(kRoot) + "ZelkorSystemMain.MSF", "main");
  // The system folder's deletion comes after the root's, so the failure spares it.
  fs_.putFile(std::string(kRoot) + "Zelkor\\ZELKORSystemData.DED", "data");
  auto strings = wipeGameStrings();
  strings[258] = "*.nothing";
  useStrings(strings);
  dialog_.answers = {platform::box::kAnswerYes};

  EXPECT_FALSE(sarnReadRegistry());
  ASSERT_EQ(dialog_.boxes.size(), 2u);
  EXPECT_EQ(dialog_.boxes[1], (ShownBox{"Error reading the settings: 'File not found' occurred in "
                                        "MAINSHD:sarnReadRegistry!",
                                        platform::box::kOk, "Tollwick", 1}));
  EXPECT_EQ(settings_.systemRootDirectory, kRoot);  // set before the error
  EXPECT_EQ(settings_.currentSystemDirectory, "");
  EXPECT_EQ(settings_.defaultSystemName, "");
  EXPECT_FALSE(settings_.noBlood);
  EXPECT_EQ(stored("WipeSystem")->data, "T\0"s);
  EXPECT_TRUE(fs_.visibleFile(std::string(kRoot) + "Zelkor\\ZELKORSystemData.DED"));
}

// A damaged or altered resource library cannot delete the player's other files: a
// pattern that climbs out of the folder it is joined to, or names a root or a drive,
// deletes nothing and is error 52, reported as any failed deletion.
TEST_F(ReadRegistryTest, AWipePatternThatLeavesItsFolderDeletesNothing) {
  const std::string notes = "C:\\Games\\Zelkor\\notes.txt";
  const std::string system = std::string(kRoot) + "Zelkor\\";
  for (const auto& [id, pattern] :
       std::vector<std::pair<uint32_t, std::string>>{{258, "..\\*.txt"},
                                                     {258, "Sub\\..\\..\\*"},
                                                     {258, ". .\\*.txt"},
                                                     {258, "\\Games\\Zelkor\\*.txt"},
                                                     {258, "C:\\Games\\Zelkor\\*.txt"},
                                                     {258, "C:*.txt"},
                                                     {260, "..\\*.MSF"}}) {
    SCOPED_TRACE(pattern);
    resetInstallationSettings();
    dialog_.boxes.clear();
    set("WipeSystem", "T");
    fs_.putFile(std::string(kRoot) + "Wipe.flg", "");
    fs_.putFile(std::string(kRoot) + "ZelkorSystemMain.MSF", "main");
    fs_.putFile(std::string(kRoot) + "Other.MSF", "other");
    fs_.putFile(system + "ZELKORSystemData.DED", "data");
    fs_.putFile(notes, "mine");
    auto strings = wipeGameStrings();
    if (id == 260) strings[258] = "Wipe.flg";  // the root's deletion succeeds first
    strings[id] = pattern;
    useStrings(strings);
    dialog_.answers = {platform::box::kAnswerYes};

    EXPECT_FALSE(sarnReadRegistry());
    ASSERT_EQ(dialog_.boxes.size(), 2u);
    EXPECT_EQ(dialog_.boxes[1].prompt,
              "Error reading the settings: 'Bad file name or number' occurred in "
              "MAINSHD:sarnReadRegistry!");
    EXPECT_TRUE(fs_.visibleFile(notes));
    EXPECT_TRUE(fs_.visibleFile(std::string(kRoot) + "Other.MSF"));
    EXPECT_EQ(stored("WipeSystem")->data, "T\0"s);
  }
}

TEST_F(ReadRegistryTest, AFailedRewriteOfTheRequestLeavesItForTheNextStart) {
  set("WipeSystem", "T");
  registry_.failWritesWith = platform::Code::kAccessDenied;
  EXPECT_TRUE(sarnReadRegistry());
  EXPECT_EQ(registry_.writeCalls, 1);
  EXPECT_EQ(stored("WipeSystem")->data, "T\0"s);
  EXPECT_EQ(settings_.currentSystemDirectory, "Zelkor\\");
  EXPECT_TRUE(dialog_.boxes.empty());
}

}  // namespace
}  // namespace tollwick
