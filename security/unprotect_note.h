#pragma once
// What SarnDecryptFile leaves behind about an image it unprotected, so that
// SarnEncryptFile can tell when it would put back exactly the bytes the file had: then
// the data's check value is already known, the transform is owed rather than made
// (security/owed_protect.h), and the file layer is told that the image stands for its
// earlier state (no hash of the whole image decides it).

#include <array>
#include <cstdint>
#include <optional>

#include "security/owed_protect.h"

namespace tollwick {

struct UnprotectNote {
  uint64_t versionBefore = 0;  // imageVersion before the data was unprotected
  uint64_t versionAfter = 0;   // imageVersion once it was
  ProtectState state;          // key, seeds, check, length and header it was verified under
};

void noteUnprotected(int16_t fileNumber, const UnprotectNote& note);

// The note of the file's last unprotect, if nothing has changed its image since; the
// note is forgotten either way.
std::optional<UnprotectNote> takeUnprotectNote(int16_t fileNumber);

}  // namespace tollwick
