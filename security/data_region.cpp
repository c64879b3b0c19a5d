#include "security/data_region.h"

#include <limits>
#include <span>

#include "runtime/binary_file.h"
#include "runtime/run_time_error.h"
#include "security/protection_header.h"

namespace tollwick {

int32_t dataLengthOf(int64_t fileLength) {
  if (fileLength <= kProtectionHeaderLength) return 0;
  const int64_t dataLength = fileLength - kProtectionHeaderLength;
  if (dataLength > std::numeric_limits<int32_t>::max()) raiseError(err::kOverflow);
  return static_cast<int32_t>(dataLength);
}

uint8_t* dataOf(int16_t fileNumber, int32_t dataLength) {
  // The library is handed an address even for an empty region, as a foreign library
  // may not expect a null one.
  static uint8_t none = 0;
  if (dataLength == 0) return &none;
  return imageForTransform(fileNumber).subspan(static_cast<size_t>(kProtectionHeaderLength)).data();
}

}  // namespace tollwick
