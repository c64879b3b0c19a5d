#include "security/text_check.h"

#include <limits>

#include "platform/ansi_text.h"
#include "platform/seam.h"
#include "runtime/run_time_error.h"
#include "security/security_library.h"

namespace tollwick {

int32_t checkValueOfText(const std::string& text, int32_t seed) {
  const std::u16string units = ansiToUtf16(text);
  if (units.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    raiseError(err::kOverflow);
  }
  // Little-endian bytes whatever the host's order: the files must not depend on it.
  std::string bytes;
  bytes.reserve(units.size() * 2);
  for (char16_t unit : units) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return platform::use<SecurityLibrary>().verify(bytes.data(), static_cast<int32_t>(units.size()),
                                                 seed);
}

}  // namespace tollwick
