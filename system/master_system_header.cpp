#include "system/master_system_header.h"

#include <string>
#include <vector>

#include "platform/dialog.h"
#include "runtime/binary_file.h"
#include "runtime/file_commands.h"
#include "runtime/message_box.h"
#include "runtime/run_time_error.h"
#include "security/sarn_security.h"
#include "settings/installation_settings.h"
#include "system/checked_reads.h"
#include "system/system_state.h"

namespace tollwick {
namespace {

// Smallest size of one system entry on disk: three 32-bit lengths.
constexpr int64_t kSmallestEntry = 12;

std::vector<SystemEntry> readSystemTable(int16_t fileNumber, int64_t position) {
  const int16_t count = readInt16(fileNumber, position);
  position += 2;
  // The table has the bounds 0 to count - 1: count - 1 overflows for -32768, and a
  // count below 1 gives no valid bounds.
  if (count == INT16_MIN) raiseError(err::kOverflow);
  if (count < 1) raiseError(err::kSubscriptOutOfRange);
  requireInFile(fileNumber, position, kSmallestEntry * count);

  std::vector<SystemEntry> table(static_cast<size_t>(count));
  for (SystemEntry& entry : table) {
    entry.name = readLongCountedText(fileNumber, position);
    entry.secondText = readLongCountedText(fileNumber, position);
    entry.directory = readLongCountedText(fileNumber, position);
  }
  return table;
}

}  // namespace

LoadResult sysLoadMasterSystemHeader() {
  LoadResult result = LoadResult::kLoaded;
  try {
    const std::string path = installationSettings().systemRootDirectory + kMasterSystemHeaderName;
    if (firstFileMatching(path).empty()) {
      sysMessageBox(kNotInstalledMessage, platform::box::kExclamation);
      return LoadResult::kLoaded;
    }

    int16_t fileNumber = freeFile();
    openBinary(fileNumber, path);
    if (!SarnDecryptFile(fileNumber, fixedKeyText())) return LoadResult::kFailed;

    const int64_t textPosition = SarnDataStart() + 2;
    const int16_t textLength = readInt16(fileNumber, SarnDataStart());
    std::string masterText = readCheckedText(fileNumber, textPosition, textLength);
    std::vector<SystemEntry> table = readSystemTable(fileNumber, textPosition + textLength);
    // Only a completely read file replaces what an earlier load left.
    systemState().masterText = std::move(masterText);
    systemState().systemTable = std::move(table);

    if (!SarnEncryptFile(fileNumber, fixedKeyText())) return LoadResult::kFailed;
    closeFile(fileNumber);
  } catch (const RunTimeError& e) {
    reportError(e, "modZELKORSystem:sysLoadMasterSystemHeader!");
    result = LoadResult::kFailed;
  }
  return result;
}

}  // namespace tollwick
