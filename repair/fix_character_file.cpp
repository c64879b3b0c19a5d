#include "repair/fix_character_file.h"

#include <array>
#include <span>
#include <string>
#include <utility>

#include "repair/character_file.h"
#include "resources/game_strings.h"
#include "runtime/binary_file.h"
#include "runtime/file_commands.h"
#include "runtime/message_box.h"
#include "runtime/run_time_error.h"
#include "security/sarn_security.h"
#include "system/file_names.h"
#include "system/system_state.h"

namespace tollwick {
namespace {

// The fresh header: version length, version text, count 0, 1000 empty slots. The
// protection header (positions 1 to 12) is left zero for SarnEncryptFile to fill.
void writeFreshHeader(int16_t newFile) {
  writeBytes(newFile, 1, std::span<const uint8_t>(std::array<uint8_t, 12>{}));
  writeInt16(newFile, charfile::kVersionLengthPosition, 6);
  writeText(newFile, charfile::kVersionTextPosition, charfile::kVersionText);
  writeInt16(newFile, charfile::kCountPosition, 0);
  const std::array<uint8_t, 4 * charfile::kSlotCount> emptyIndex{};
  writeBytes(newFile, charfile::kIndexPosition, emptyIndex);
}

// Copies the live records of the old index into the new file, densely renumbered, and
// returns how many were kept. Stops once the kept count reaches the old count or after
// slot 999. Each kept record costs three writes (record, slot, count), so the count on
// the new file always matches the slots written so far.
int16_t copyLiveRecords(int16_t oldFile, int16_t newFile, int16_t oldCount) {
  const int64_t oldLength = lengthOfFile(oldFile);
  CharacterRecord record{};
  int16_t kept = 0;
  for (int slot = 0; slot < charfile::kSlotCount && kept < oldCount; ++slot) {
    const int32_t slotValue = readInt32(oldFile, slotPosition(slot));
    if (!slotInUse(slotValue)) continue;
    // A slot pointing outside the file is damage, not a record: stop before reading.
    if (!recordLiesInFile(slotValue, oldLength)) raiseError(err::kInputPastEndOfFile);
    readBytes(oldFile, slotValue, record);
    if (!isLiveRecord(record)) continue;
    normalizeRecordName(record);
    ++kept;
    const int64_t appendAt = lengthOfFile(newFile) + 1;
    writeBytes(newFile, appendAt, record);
    writeInt32(newFile, slotPosition(kept - 1), static_cast<int32_t>(appendAt));
    writeInt16(newFile, charfile::kCountPosition, kept);
  }
  return kept;
}

}  // namespace

RepairResult sysFixBloatedCharacterFile(SystemHeaderRecord& record) {
  RepairResult result = RepairResult::kNothingDone;
  // The compacted copy on disk, once committed; removed again when the run fails, so
  // that a failed repair leaves nothing behind.
  std::string committedCopy;
  const auto discardCopy = [&committedCopy] {
    if (!committedCopy.empty() && sysFileExists(committedCopy)) {
      try {
        deleteFilesMatching(committedCopy);
      } catch (const RunTimeError&) {
        // The report of the failure that got here is the one the user needs.
      }
    }
  };
  try {
    // A search that fails is the error it is: taken for an absent file, a failing disk
    // would end the repair with nothing done and no word, or skip the replacement and
    // report success with the old file in place.
    std::string oldPath = sysGetFileName(kCharacterFileName);
    if (!fileExistsOrRaise(oldPath)) return result;

    const int32_t signature = systemState().systemSignature;
    const std::string keyText = systemKeyText(record);
    int16_t oldFile = freeFile();
    openBinary(oldFile, oldPath);
    // What was read, so that a save the game makes meanwhile is never replaced.
    const ReadStamp oldStamp = readStamp(oldFile);
    if (!SarnDecryptFile(oldFile, keyText, signature)) {
      sysShowMessage(gameString(gs::kCharacterFileLocked));
      noteFailureReported();
      if (isOpen(oldFile)) closeFile(oldFile);
      return RepairResult::kNotUnprotected;
    }

    // The old file is open and unprotected; its version field is not examined.
    int16_t newFile = freeFile();
    std::string newPath = sysGetFileName(kCharacterTempFileName);
    if (fileExistsOrRaise(newPath)) deleteFilesMatching(newPath);
    openBinary(newFile, newPath);
    writeFreshHeader(newFile);

    // The new count starts at 0 and becomes the number of records kept, so that the
    // count always agrees with the index, also when the old count was wrong.
    const int16_t oldCount = readInt16(oldFile, charfile::kCountPosition);
    copyLiveRecords(oldFile, newFile, oldCount);

    if (!SarnEncryptFile(newFile, keyText, signature)) return RepairResult::kNotProtected;
    committedCopy = newPath;
    closeFile(newFile);
    // The old file is protected again as it was (its bytes do not change, so the file
    // layer does not rewrite it) before the compacted copy takes its place.
    if (!SarnEncryptFile(oldFile, keyText, signature)) {
      discardCopy();
      return RepairResult::kNotProtected;
    }
    closeFile(oldFile);

    // One atomic rename, and only over the file that was read: the character file is
    // the complete old or the complete new file at every moment, and the temporary name
    // is gone afterwards whether the replacement happens or not.
    if (fileExistsOrRaise(newPath)) replaceFileRead(newPath, oldPath, oldStamp);
    result = RepairResult::kRepaired;
  } catch (const RunTimeError& e) {
    discardCopy();
    reportError(e, "modSarnSystem:sysFixBloatedCharacterFile!");
  }
  return result;
}

}  // namespace tollwick
