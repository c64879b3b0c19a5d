#include "security/sarn_security.h"

#include "security/protection_header.h"
#include "security/text_check.h"

namespace tollwick {

std::string fixedKeyText() { return std::to_string(FixedKeySeed); }

int32_t SarnDataStart() { return static_cast<int32_t>(kProtectionHeaderLength) + 1; }

int32_t signatureOfText(const std::string& signatureText) {
  return checkValueOfText(signatureText, FixedKeySeed);
}

}  // namespace tollwick
