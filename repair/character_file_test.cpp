#include "repair/character_file.h"

#include <gtest/gtest.h>

namespace tollwick {
namespace {

CharacterRecord withName(const std::string& name) {
  CharacterRecord record;
  record.fill(0xA5);
  setRecordName(record, name);
  return record;
}

TEST(CharacterFileLayoutTest, SlotValuesOfZeroOrLessAreEmpty) {
  EXPECT_FALSE(slotInUse(0));
  EXPECT_FALSE(slotInUse(-1));
  EXPECT_FALSE(slotInUse(INT32_MIN));
  EXPECT_TRUE(slotInUse(1));
}

TEST(CharacterFileLayoutTest, RecordMustLieWhollyInsideTheFile) {
  EXPECT_TRUE(recordLiesInFile(4023, 4022 + 5785));
  EXPECT_FALSE(recordLiesInFile(4024, 4022 + 5785));
  EXPECT_FALSE(recordLiesInFile(0, 1 << 30));
  EXPECT_FALSE(recordLiesInFile(INT32_MAX, 1 << 30));  // no overflow
}

TEST(CharacterRecordTest, LiveRuleLooksAtTheNameOnly) {
  EXPECT_TRUE(isLiveRecord(withName("Aldric")));
  EXPECT_TRUE(isLiveRecord(withName("   Aldric")));
  EXPECT_FALSE(isLiveRecord(withName("")));  // all spaces
  EXPECT_FALSE(isLiveRecord(withName(std::string("\0Aldric", 7))));
  // Only code 32 is trimmed: a tab is a character of the name.
  EXPECT_TRUE(isLiveRecord(withName("\t")));
}

TEST(CharacterRecordTest, NormalizingMovesTheNameLeftAndKeepsEveryOtherByte) {
  CharacterRecord record = withName("   Aldric  the Bold");
  const CharacterRecord before = record;
  normalizeRecordName(record);
  EXPECT_EQ(recordName(record), "Aldric  the Bold              ");
  for (size_t i = 0; i < record.size(); ++i) {
    if (i < charfile::kNameOffset || i >= charfile::kNameOffset + charfile::kNameLength) {
      ASSERT_EQ(record[i], before[i]) << i;
    }
  }
}

}  // namespace
}  // namespace tollwick
