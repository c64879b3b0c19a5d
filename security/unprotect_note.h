#pragma once
// What SarnDecryptFile leaves behind about an image it unprotected, so that
// SarnEncryptFile can tell when it puts back exactly the bytes the file had: then the
// data's check value is already known, and the file layer is told that the image is
// back at its earlier state (no hash of the whole image decides it).

#include <array>
#include <cstdint>
#include <optional>

#include "security/protection_header.h"

namespace tollwick {

struct UnprotectNote {
  uint64_t versionBefore = 0;  // imageVersion before the data was unprotected
  uint64_t versionAfter = 0;   // imageVersion once it was
  int32_t keyTextCheck = 0;    // the check value the key was made from
  int32_t dataCheck = 0;       // the plain data's check value, as verified
  std::array<uint8_t, kProtectionHeaderLength> header{};  // the stored header
};

void noteUnprotected(int16_t fileNumber, const UnprotectNote& note);

// The note of the file's last unprotect, if nothing has changed its image since; the
// note is forgotten either way.
std::optional<UnprotectNote> takeUnprotectNote(int16_t fileNumber);

}  // namespace tollwick
