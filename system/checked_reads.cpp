#include "system/checked_reads.h"

#include "runtime/binary_file.h"
#include "runtime/run_time_error.h"

namespace tollwick {

void requireInFile(int16_t fileNumber, int64_t position, int64_t length) {
  if (position < 1 || length < 0) raiseError(err::kInvalidProcedureCall);
  if (position - 1 + length > lengthOfFile(fileNumber)) raiseError(err::kInputPastEndOfFile);
}

std::string readCheckedText(int16_t fileNumber, int64_t position, int64_t length) {
  requireInFile(fileNumber, position, length);
  return readText(fileNumber, position, length);
}

std::string readLongCountedText(int16_t fileNumber, int64_t& position) {
  const int32_t length = readInt32(fileNumber, position);
  position += 4;
  std::string text = readCheckedText(fileNumber, position, length);
  position += length;
  return text;
}

}  // namespace tollwick
