#pragma once
// The character file "ZELKORCharacters.DED": a protected file whose data region holds
// a version field, the character count, an index of 1000 slots and, behind it, the
// character records at the positions the slots give. Only a record's Name is
// interpreted; every other byte of a record is copied unchanged.
//
// Positions are one-based positions in the whole file (the 12-byte protection header
// counts), as the positioned reads and writes of runtime/binary_file.h take them.

#include <array>
#include <cstdint>
#include <string>

namespace tollwick {

namespace charfile {
inline constexpr int64_t kVersionLengthPosition = 13;  // Integer, always 6
inline constexpr int64_t kVersionTextPosition = 15;    // "1.01  ", six characters
inline constexpr int64_t kCountPosition = 21;          // CharacterCount, Integer
inline constexpr int64_t kIndexPosition = 23;          // CharacterIndex, 1000 Longs
inline constexpr int kSlotCount = 1000;
inline constexpr int64_t kRecordAreaPosition = 4023;            // first byte after slot 999
inline constexpr int64_t kHeaderEnd = kRecordAreaPosition - 1;  // 4022: length of a bare file
inline constexpr int64_t kRecordSize = 5785;
inline constexpr size_t kNameOffset = 2;
inline constexpr size_t kNameLength = 30;
inline constexpr const char* kVersionText = "1.01  ";
}  // namespace charfile

// One record as it lies on disk: exactly 5785 packed bytes.
using CharacterRecord = std::array<uint8_t, charfile::kRecordSize>;

// Position of index slot `slot` (0 to 999): 23 + 4 * slot.
constexpr int64_t slotPosition(int slot) { return charfile::kIndexPosition + 4 * int64_t{slot}; }
// The records begin right after the last slot.
static_assert(slotPosition(charfile::kSlotCount) == charfile::kRecordAreaPosition);

// A slot value of 1 or more is in use and names the first byte of a record; 0 or less
// marks an empty slot.
constexpr bool slotInUse(int32_t slotValue) { return slotValue >= 1; }

// True when a record starting at `slotValue` ends at or before `fileLength`.
constexpr bool recordLiesInFile(int32_t slotValue, int64_t fileLength) {
  return slotInUse(slotValue) && int64_t{slotValue} + charfile::kRecordSize - 1 <= fileLength;
}

// The 30 characters of the record's Name, as stored.
std::string recordName(const CharacterRecord& record);

// Live rule: Name does not begin with NUL and is not empty once spaces are trimmed.
bool isLiveRecord(const CharacterRecord& record);

// Replaces Name by its trimmed text, left-aligned and padded with spaces to 30
// characters. Nothing else in the record changes.
void normalizeRecordName(CharacterRecord& record);

// Writes `name` into the record's Name, cut or padded with spaces to 30 characters.
void setRecordName(CharacterRecord& record, const std::string& name);

}  // namespace tollwick
