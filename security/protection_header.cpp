#include "security/protection_header.h"

#include "base/bytes.h"
#include "platform/seam.h"
#include "security/security_library.h"

namespace tollwick {

HeaderField HeaderField::ofValue(int32_t value) {
  HeaderField field;
  storeLe32(field.bytes_, static_cast<uint32_t>(value));
  return field;
}

HeaderField HeaderField::ofBytes(const uint8_t* stored) {
  HeaderField field;
  for (size_t i = 0; i < 4; ++i) field.bytes_[i] = stored[i];
  return field;
}

int32_t HeaderField::value() const { return static_cast<int32_t>(loadLe32(bytes_)); }

int32_t HeaderField::mangle(int32_t seed, int32_t key) {
  return platform::use<SecurityLibrary>().mangle(bytes_.data(), 4, seed, key);
}

}  // namespace tollwick
