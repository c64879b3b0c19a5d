#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <stdexcept>

#include "repair/character_file.h"
#include "runtime/run_time_error.h"
#include "tools/character_file_builder.h"
#include "tools/inspect.h"
#include "tools/kit_options.h"
#include "tools/testing/installation_fixture.h"

namespace tollwick::kit {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

TEST(KitOptionsTest, SizesTakeBinarySuffixesAndMustFitAPosition) {
  EXPECT_EQ(parseSize("4096"), 4096);
  EXPECT_EQ(parseSize("64K"), 64 * 1024);
  EXPECT_EQ(parseSize("256M"), 256 * 1024 * 1024);
  EXPECT_EQ(parseSize("1g"), 1024 * 1024 * 1024);
  EXPECT_THROW(parseSize("2G"), std::invalid_argument);
  EXPECT_THROW(parseSize("12Q"), std::invalid_argument);
  EXPECT_THROW(parseSize(""), std::invalid_argument);
  EXPECT_THROW(parseSize("-5M"), std::invalid_argument);
}

TEST(KitOptionsTest, MakeInstallReadsEveryOption) {
  const KitCommand command = parseKitCommand(
      {"make-install", "dir", "--live", "200", "--dead-nul-name", "3", "--count", "-2", "--omit",
       "ZELKORDungeon.DED", "--omit", "ZelkorSystemMain.MSF", "--size", "1M", "--blank-first-entry",
       "--foreign-signature", "ZELKORMazeItems.DED"});
  EXPECT_EQ(command.kind, KitCommand::Kind::kMakeInstall);
  EXPECT_EQ(command.target, "dir");
  EXPECT_EQ(command.options.characters.live, 200);
  EXPECT_EQ(command.options.characters.deadNulName, 3);
  EXPECT_EQ(command.options.characters.count, int16_t{-2});
  EXPECT_EQ(command.options.characters.size, 1 << 20);
  EXPECT_TRUE(command.options.blankFirstEntry);
  EXPECT_EQ(command.options.omit,
            (std::set<std::string>{"ZELKORDungeon.DED", "ZelkorSystemMain.MSF"}));
  EXPECT_EQ(command.options.foreignSignature, std::set<std::string>{"ZELKORMazeItems.DED"});
}

TEST(KitOptionsTest, MistakesAreRefusedWithTheirArgument) {
  const std::vector<std::vector<std::string>> wrong = {{"make-install"},
                                                       {"make-install", "a", "b"},
                                                       {"make-install", "a", "--live"},
                                                       {"make-install", "a", "--live", "x"},
                                                       {"make-install", "a", "--bogus", "1"},
                                                       {"inspect"},
                                                       {"frobnicate"}};
  for (const auto& args : wrong) {
    EXPECT_THROW(parseKitCommand(args), std::invalid_argument) << args[0];
  }
  EXPECT_EQ(parseKitCommand({}).kind, KitCommand::Kind::kHelp);
  EXPECT_EQ(parseKitCommand({"--help"}).kind, KitCommand::Kind::kHelp);
  EXPECT_EQ(parseKitCommand({"--version"}).kind, KitCommand::Kind::kVersion);
}

TEST(CharacterFilePlanTest, SpreadsSlotsKeepsRecordsApartAndReachesTheSize) {
  CharacterFileOptions options;
  options.live = 200;
  options.deadNulName = 400;
  options.deadSpacesName = 400;
  options.deadEmptySlot = 10;
  options.gap = 3;
  options.size = 64 << 20;
  const CharacterFilePlan plan = planCharacterFile(options);
  EXPECT_EQ(plan.length, 64 << 20);
  EXPECT_EQ(plan.count, 1000);
  ASSERT_EQ(plan.records.size(), 1010u);
  std::set<int> slots;
  int64_t end = charfile::kHeaderEnd;
  for (const PlannedRecord& record : plan.records) {
    EXPECT_GE(record.position, end + 1 + options.gap);  // in order, apart, inside the size
    end = record.position + charfile::kRecordSize - 1;
    if (record.slot) slots.insert(*record.slot);
    EXPECT_EQ(record.kind == PlannedRecord::Kind::kEmptySlot, !record.slot.has_value());
  }
  EXPECT_LE(end, plan.length);
  EXPECT_EQ(slots.size(), 1000u);
}

TEST(CharacterFilePlanTest, RefusesMoreThan1000SlotsAndASizeTooSmall) {
  CharacterFileOptions tooMany;
  tooMany.live = 1001;
  EXPECT_THROW(planCharacterFile(tooMany), RunTimeError);
  CharacterFileOptions tooSmall;
  tooSmall.live = 2;
  tooSmall.size = 4022 + 5785;
  EXPECT_THROW(planCharacterFile(tooSmall), RunTimeError);
}

class KitInstallationTest : public InstallationFixture {};

TEST_F(KitInstallationTest, InspectReportsTheCharacterFileAndChangesNothing) {
  InstallationOptions options;
  options.characters.live = 3;
  options.characters.leadingSpaces = 1;
  options.characters.deadNulName = 1;
  options.characters.deadSpacesName = 1;
  options.characters.count = 2;
  install(options);
  const std::string path = gameFile("ZELKORCharacters.DED");
  const auto before = fileBytes(path);
  const auto modified = fs::last_write_time(path);

  std::ostringstream out;
  EXPECT_EQ(inspectFile(path, out), 0);
  const std::string report = out.str();
  EXPECT_THAT(report, HasSubstr("unprotects: yes, with the system key"));
  EXPECT_THAT(report, HasSubstr("count: 2\n"));
  EXPECT_THAT(report, HasSubstr("slots in use: 5\n"));
  EXPECT_THAT(report, HasSubstr("live records: 3\n"));
  EXPECT_THAT(report, HasSubstr("NUL name: 1, all-spaces name: 1"));
  EXPECT_THAT(report, HasSubstr("dead bytes: " + std::to_string(2 * 5785) + "\n"));
  EXPECT_THAT(report, HasSubstr("a repair would keep 2 records"));
  EXPECT_THAT(report, HasSubstr("signature: the system signature"));
  EXPECT_EQ(fileBytes(path), before);
  EXPECT_EQ(fs::last_write_time(path), modified);
}

TEST_F(KitInstallationTest, InspectTellsKeysAndSignatures) {
  InstallationOptions options;
  options.foreignSignature = {"ZELKORDungeon.DED"};
  options.unsignedFiles = {"ZELKORMultiConfig.DED"};
  options.damaged = {"ZELKORMazeItems.DED"};
  install(options);
  const auto report = [&](const std::string& path) {
    std::ostringstream out;
    inspectFile(path, out);
    return out.str();
  };
  EXPECT_THAT(report(systemRoot() + "/ZelkorSystemMain.MSF"),
              HasSubstr("unprotects: yes, with the fixed key"));
  EXPECT_THAT(report(gameFile("ZelkorSystemHeader.MSF")), HasSubstr("with the fixed key"));
  EXPECT_THAT(report(gameFile("ZELKORSystemData.DED")), HasSubstr("signature: 0 (none)"));
  EXPECT_THAT(report(gameFile("ZELKORDungeon.DED")), HasSubstr("signature: a foreign signature"));
  EXPECT_THAT(report(gameFile("ZELKORMultiConfig.DED")), HasSubstr("signature: 0 (none)"));
  EXPECT_THAT(report(gameFile("ZELKORMazeItems.DED")), HasSubstr("unprotects: no"));
  EXPECT_THAT(report(gameFile("ZELKORMazeMonsters.DED")),
              HasSubstr("signature: the system signature"));
  EXPECT_THAT(report(gameFile("ZELKORMazeMonsters.DED")), Not(HasSubstr("character file")));
}

}  // namespace
}  // namespace tollwick::kit
