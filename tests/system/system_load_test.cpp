#include "system/system_load.h"

#include <filesystem>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "settings/installation_settings.h"
#include "system/system_data_file.h"
#include "system/system_header.h"
#include "system/system_state.h"
#include "tools/game_file_writer.h"
#include "tools/testing/installation_fixture.h"

namespace tollwick {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::ProgramEnded;
using testing::ShownBox;

class SystemHeaderTest : public kit::InstallationFixture {
 protected:
  SystemHeaderTest() { std::filesystem::create_directories(systemDirectory()); }
  std::string path() const { return gameFile(kSystemHeaderName); }
  void write(const std::vector<uint8_t>& content) {
    kit::writeProtectedFile(path(), content, 0, true);
  }
  static SystemHeaderRecord numbered() {
    SystemHeaderRecord record;
    for (size_t i = 0; i < 12; ++i) record.texts[i] = "text " + std::to_string(i + 1);
    for (size_t i = 0; i < 14; ++i) record.values[i] = static_cast<int16_t>(-100 - int(i));
    return record;
  }
  static constexpr std::array<int32_t, 10> kTrailer = {-1, 2, -3, 4, -5, 6, -7, 8, -9, 70000};
};

TEST_F(SystemHeaderTest, ReadsEveryItemInFileOrder) {
  write(kit::systemHeaderContent(numbered(), kTrailer));
  SystemHeaderRecord record;
  record.systemDirectory = "kept\\";
  EXPECT_EQ(sysLoadSystemHeader(path(), record), LoadResult::kLoaded);
  SystemHeaderRecord expected = numbered();
  expected.systemDirectory = "kept\\";
  EXPECT_EQ(record.texts, expected.texts);
  EXPECT_EQ(record.values, expected.values);
  EXPECT_EQ(record.systemDirectory, "kept\\");
  EXPECT_EQ(systemState().headerTrailer, kTrailer);
  EXPECT_THAT(dialog_.boxes, IsEmpty());
}

TEST_F(SystemHeaderTest, AllEmptyTextsMake116BytesAndLoad) {
  const auto content = kit::systemHeaderContent(SystemHeaderRecord{}, {});
  ASSERT_EQ(content.size(), 116u);
  write(content);
  SystemHeaderRecord record = numbered();
  EXPECT_EQ(sysLoadSystemHeader(path(), record), LoadResult::kLoaded);
  EXPECT_EQ(record.texts, SystemHeaderRecord{}.texts);
}

TEST_F(SystemHeaderTest, TrailingBytesAreIgnored) {
  auto content = kit::systemHeaderContent(numbered(), kTrailer);
  content.insert(content.end(), {1, 2, 3, 4, 5});
  write(content);
  SystemHeaderRecord record;
  EXPECT_EQ(sysLoadSystemHeader(path(), record), LoadResult::kLoaded);
  EXPECT_EQ(record.texts, numbered().texts);
}

TEST_F(SystemHeaderTest, MissingFileIsMinusOneWithoutMessage) {
  SystemHeaderRecord record;
  EXPECT_EQ(sysLoadSystemHeader(path(), record), LoadResult::kNotLoaded);
  EXPECT_THAT(dialog_.boxes, IsEmpty());
}

TEST_F(SystemHeaderTest, DamagedLengthsAreReportedAndLeaveTheRecordAlone) {
  struct Case {
    std::vector<uint8_t> content;
    std::string description;
  };
  auto truncated = kit::systemHeaderContent(numbered(), kTrailer);
  truncated.pop_back();
  const std::vector<Case> cases = {
      {truncated, "Input past end of file"},
      {kit::ContentBuilder().longValue(-1).content(), "Invalid procedure call or argument"},
      {kit::ContentBuilder().longValue(0x7FFFFFFF).text("abc").content(), "Input past end of file"},
  };
  for (const Case& c : cases) {
    dialog_.boxes.clear();
    write(c.content);
    const auto onDisk = fileBytes(path());
    SystemHeaderRecord record = numbered();
    EXPECT_EQ(sysLoadSystemHeader(path(), record), LoadResult::kFailed);
    ASSERT_EQ(dialog_.boxes.size(), 1u);
    EXPECT_EQ(dialog_.boxes[0].prompt, "Error '" + c.description +
                                           "' occurred in (Tollwick)"
                                           "modZELKORSystem:sysLoadSystemHeader!");
    EXPECT_EQ(record.texts, numbered().texts);
    EXPECT_EQ(fileBytes(path()), onDisk);
  }
}

class SystemLoadTest : public kit::InstallationFixture {};

TEST_F(SystemLoadTest, AppendsTheBackslashInTheCallersVariableAndLoads) {
  const int32_t signature = install();
  const SystemHeaderRecord expected = systemState().header;
  systemState().header = SystemHeaderRecord{};
  installationSettings().currentSystemDirectory = "";
  std::string directory = "Zelkor";
  EXPECT_EQ(sysLoadSystem(directory), LoadResult::kLoaded);
  EXPECT_EQ(directory, "Zelkor\\");
  EXPECT_EQ(installationSettings().currentSystemDirectory, "Zelkor\\");
  EXPECT_EQ(systemState().header.texts, expected.texts);
  EXPECT_EQ(systemState().header.systemDirectory, "Zelkor\\");
  EXPECT_EQ(systemState().systemSignature, signature);
  EXPECT_THAT(dialog_.boxes, IsEmpty());
}

TEST_F(SystemLoadTest, MissingHeaderShows3078AndIsMinusOne) {
  kit::InstallationOptions options;
  options.omit = {kSystemHeaderName};
  install(options);
  systemState().header = SystemHeaderRecord{};
  std::string directory = "Zelkor\\";
  EXPECT_EQ(sysLoadSystem(directory), LoadResult::kNotLoaded);
  EXPECT_THAT(dialog_.boxes, ElementsAre(ShownBox{"<3078>", 0, "Tollwick", 1}));
  EXPECT_EQ(installationSettings().currentSystemDirectory, "Zelkor\\");
  EXPECT_EQ(systemState().header.systemDirectory, "");
}

TEST_F(SystemLoadTest, MissingSystemDataFileEndsTheProgramAfterItsMessage) {
  kit::InstallationOptions options;
  options.omit = {kSystemDataFileName};
  install(options);
  std::string directory = "Zelkor\\";
  EXPECT_THROW(sysLoadSystem(directory), ProgramEnded);
  EXPECT_EQ(process_.endCalls, 1);
  EXPECT_THAT(dialog_.boxes, ElementsAre(ShownBox{
                                 "You must install and run Zelkor before you can use this utility!",
                                 64, "<3081>", 1}));
}

TEST_F(SystemLoadTest, DataFileFailuresShowTheJoinedMessageAndPassTheCodeOn) {
  struct Case {
    kit::InstallationOptions options;
    LoadResult code;
  };
  kit::InstallationOptions foreign;
  foreign.foreignSignature = {"ZELKORDungeon.DED"};
  kit::InstallationOptions absent;
  absent.omit = {"ZELKORMazeItems.DED"};
  for (const Case& c : {Case{foreign, LoadResult::kFailed}, Case{absent, LoadResult::kNotLoaded}}) {
    dialog_.boxes.clear();
    std::filesystem::remove_all(systemRoot());
    install(c.options);
    std::string directory = "Zelkor\\";
    EXPECT_EQ(sysLoadSystem(directory), c.code);
    EXPECT_THAT(dialog_.boxes,
                ElementsAre(ShownBox{"<3084><3085><3086><3087><3088>", 48, "<3089>", 1}));
  }
}

TEST_F(SystemLoadTest, LoadingAnotherSystemReplacesEveryFieldOfTheRecord) {
  install();
  std::string first = "Zelkor";
  ASSERT_EQ(sysLoadSystem(first), LoadResult::kLoaded);

  // A second system in "Other\" with other texts.
  kit::InstallationOptions other;
  other.systemName = "Other";
  other.secondText = "Second";
  other.thirdText = "Third";
  const std::string otherRoot = root() + "/other";
  kit::writeGameFiles(otherRoot, other);
  std::filesystem::rename(otherRoot + "/System/Zelkor", systemRoot() + "/Other");
  std::string second = "Other";
  ASSERT_EQ(sysLoadSystem(second), LoadResult::kLoaded);
  EXPECT_EQ(systemState().header.texts[0], "Other");
  EXPECT_EQ(systemState().header.texts[2], "Third");
  EXPECT_EQ(systemState().header.systemDirectory, "Other\\");
}

}  // namespace
}  // namespace tollwick
