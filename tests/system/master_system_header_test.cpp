#include "system/master_system_header.h"

#include <filesystem>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>

#include "settings/installation_settings.h"
#include "system/system_state.h"
#include "tools/game_file_writer.h"
#include "tools/testing/installation_fixture.h"

namespace tollwick {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Content with a 16-bit count that need not match the entries that follow.
std::vector<uint8_t> withCount(int16_t count, int extraBytes = 0) {
  kit::ContentBuilder builder;
  builder.integerCountedText("M").integer(count);
  for (int i = 0; i < extraBytes; ++i) builder.text("\x01");
  return builder.content();
}

class MasterSystemHeaderTest : public kit::InstallationFixture {
 protected:
  MasterSystemHeaderTest() { std::filesystem::create_directories(systemRoot()); }

  std::string path() const { return systemRoot() + "/" + kMasterSystemHeaderName; }

  void writeMaster(const std::vector<uint8_t>& content, bool fixedKey = true) {
    kit::writeProtectedFile(path(), content, 0, fixedKey);
  }

  void writeTable(const std::string& masterText, const std::vector<SystemEntry>& entries) {
    writeMaster(kit::masterHeaderContent(masterText, entries));
  }

  void expectErrorReport(const std::string& description) {
    ASSERT_EQ(dialog_.boxes.size(), 1u);
    EXPECT_EQ(dialog_.boxes[0].prompt,
              "Error '" + description +
                  "' occurred in (Tollwick)modZELKORSystem:sysLoadMasterSystemHeader!");
  }

  std::vector<SystemEntry> previous_ = {{"Old", "old second", "Old\\"}};
};

TEST_F(MasterSystemHeaderTest, MissingFileTellsTheUserAndSucceedsWithNothingLoaded) {
  EXPECT_EQ(sysLoadMasterSystemHeader(), LoadResult::kLoaded);
  ASSERT_EQ(dialog_.boxes.size(), 1u);
  EXPECT_EQ(dialog_.boxes[0],
            (testing::ShownBox{"Zelkor has not been installed and run yet!", 48, "Tollwick", 1}));
  EXPECT_THAT(systemState().systemTable, IsEmpty());
}

TEST_F(MasterSystemHeaderTest, LoadsTextsByteForByteIncludingEmptyAndPaddedFields) {
  const std::string withNul("Name\0 ", 6);
  writeTable("", {{withNul, "", "Zelkor\\"}, {"", "second  ", ""}});
  EXPECT_EQ(sysLoadMasterSystemHeader(), LoadResult::kLoaded);
  EXPECT_THAT(dialog_.boxes, IsEmpty());
  EXPECT_EQ(systemState().masterText, "");
  EXPECT_THAT(systemState().systemTable,
              ElementsAre(SystemEntry{withNul, "", "Zelkor\\"}, SystemEntry{"", "second  ", ""}));
}

TEST_F(MasterSystemHeaderTest, SecondLoadReplacesTheWholeTable) {
  writeTable("first", {{"A", "a", "A\\"}, {"B", "b", "B\\"}, {"C", "c", "C\\"}});
  ASSERT_EQ(sysLoadMasterSystemHeader(), LoadResult::kLoaded);
  writeTable("second", {{"D", "d", "D\\"}});
  ASSERT_EQ(sysLoadMasterSystemHeader(), LoadResult::kLoaded);
  EXPECT_EQ(systemState().masterText, "second");
  EXPECT_THAT(systemState().systemTable, ElementsAre(SystemEntry{"D", "d", "D\\"}));
}

TEST_F(MasterSystemHeaderTest, FileThatDoesNotUnprotectFailsAndKeepsTheTable) {
  systemState().systemTable = previous_;
  writeTable("text", {{"A", "a", "A\\"}});
  const auto before = fileBytes(path());
  writeMaster(kit::masterHeaderContent("text", {{"A", "a", "A\\"}}), /*fixedKey=*/false);
  const auto systemKeyed = fileBytes(path());
  EXPECT_EQ(sysLoadMasterSystemHeader(), LoadResult::kFailed);
  EXPECT_THAT(dialog_.boxes, IsEmpty());
  EXPECT_EQ(systemState().systemTable, previous_);
  EXPECT_EQ(fileBytes(path()), systemKeyed);
  EXPECT_NE(before, systemKeyed);
}

// Damaged counts and lengths are errors of the routine: reported, -2, nothing loaded,
// nothing written, and no allocation sized by the damaged value.
struct BadContent {
  const char* name;
  std::vector<uint8_t> content;
  const char* description;
};

// A case is listed by its name, not by its bytes.
void PrintTo(const BadContent& content, std::ostream* out) { *out << content.name; }

class MasterSystemHeaderBadContentTest : public MasterSystemHeaderTest,
                                         public ::testing::WithParamInterface<BadContent> {};

TEST_P(MasterSystemHeaderBadContentTest, IsReportedAsTheRoutinesErrorWithNothingChanged) {
  systemState().systemTable = previous_;
  systemState().masterText = "before";
  writeMaster(GetParam().content);
  const auto onDisk = fileBytes(path());
  EXPECT_EQ(sysLoadMasterSystemHeader(), LoadResult::kFailed);
  expectErrorReport(GetParam().description);
  EXPECT_EQ(systemState().systemTable, previous_);
  EXPECT_EQ(systemState().masterText, "before");
  EXPECT_EQ(fileBytes(path()), onDisk);
}

std::vector<uint8_t> negativeTextLength() {
  return kit::ContentBuilder().integer(-1).integer(1).content();
}
std::vector<uint8_t> textPastTheEnd() {
  return kit::ContentBuilder().integer(400).text("short").content();
}
std::vector<uint8_t> entryLengthPastTheEnd() {
  return kit::ContentBuilder()
      .integerCountedText("M")
      .integer(1)
      .longValue(100000)
      .text("x")
      .longValue(0)
      .longValue(0)
      .content();
}
std::vector<uint8_t> negativeEntryLength() {
  return kit::ContentBuilder()
      .integerCountedText("M")
      .integer(1)
      .longValue(-3)
      .longValue(0)
      .longValue(0)
      .content();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MasterSystemHeaderBadContentTest,
    ::testing::Values(
        BadContent{"CountZero", withCount(0, 24), "Subscript out of range"},
        BadContent{"CountNegative", withCount(-5, 24), "Subscript out of range"},
        BadContent{"CountMinimum", withCount(-32768, 24), "Overflow"},
        BadContent{"CountLargerThanTheFileHolds", withCount(32767, 24), "Input past end of file"},
        BadContent{"NegativeMasterTextLength", negativeTextLength(),
                   "Invalid procedure call or argument"},
        BadContent{"MasterTextPastTheEnd", textPastTheEnd(), "Input past end of file"},
        BadContent{"EntryTextPastTheEnd", entryLengthPastTheEnd(), "Input past end of file"},
        BadContent{"NegativeEntryTextLength", negativeEntryLength(),
                   "Invalid procedure call or argument"},
        BadContent{"NoCountAtAll", kit::ContentBuilder().integer(0).content(),
                   "Input past end of file"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
}  // namespace tollwick
