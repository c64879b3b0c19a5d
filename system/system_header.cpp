#include "system/system_header.h"

#include <array>

#include "runtime/binary_file.h"
#include "runtime/file_commands.h"
#include "runtime/message_box.h"
#include "runtime/run_time_error.h"
#include "security/sarn_security.h"
#include "system/checked_reads.h"
#include "system/system_state.h"

namespace tollwick {
namespace {

// The items of the file in their order; fills `record` (whose system directory stays
// as it is) and `trailer`.
void readHeaderItems(int16_t fileNumber, SystemHeaderRecord& record,
                     std::array<int32_t, 10>& trailer) {
  int64_t position = SarnDataStart();
  for (size_t text = 0; text < 7; ++text) {
    record.texts[text] = readLongCountedText(fileNumber, position);
  }
  for (int16_t& value : record.values) {
    value = readInt16(fileNumber, position);
    position += 2;
  }
  for (size_t text = 7; text < 12; ++text) {
    record.texts[text] = readLongCountedText(fileNumber, position);
  }
  for (int32_t& value : trailer) {
    value = readInt32(fileNumber, position);
    position += 4;
  }
}

}  // namespace

LoadResult sysLoadSystemHeader(const std::string& path, SystemHeaderRecord& record) {
  LoadResult result = LoadResult::kLoaded;
  try {
    if (firstFileMatching(path).empty()) return LoadResult::kNotLoaded;

    int16_t fileNumber = freeFile();
    openBinary(fileNumber, path);
    if (!SarnDecryptFile(fileNumber, fixedKeyText())) return LoadResult::kFailed;

    SystemHeaderRecord loaded = record;
    std::array<int32_t, 10> trailer{};
    readHeaderItems(fileNumber, loaded, trailer);
    record = std::move(loaded);
    systemState().headerTrailer = trailer;

    if (!SarnEncryptFile(fileNumber, fixedKeyText())) return LoadResult::kFailed;
    closeFile(fileNumber);
  } catch (const RunTimeError& e) {
    reportError(e, "modZELKORSystem:sysLoadSystemHeader!");
    result = LoadResult::kFailed;
  }
  return result;
}

}  // namespace tollwick
