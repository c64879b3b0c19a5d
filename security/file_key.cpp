#include "security/file_key.h"

#include "platform/seam.h"
#include "platform/security_library.h"
#include "runtime/run_time_error.h"
#include "security/sarn_security.h"
#include "security/text_check.h"

namespace tollwick {

std::string SarnKeyText(const SystemHeaderRecord& header, bool useFixedKey) {
  if (useFixedKey) return std::to_string(FixedKeySeed);
  return header.texts[2] + header.texts[0] + header.texts[1];
}

int32_t SarnGetFileKey(const SystemHeaderRecord& header, bool useFixedKey) {
  const int32_t check = checkValueOfText(SarnKeyText(header, useFixedKey), 0);
  return platform::use<platform::SecurityLibrary>().makeKey(check);
}

ScopedFileKey::~ScopedFileKey() {
  if (!held_) return;
  try {
    release();
  } catch (const RunTimeError&) {
    // Already reported by the routine that owned the key.
  }
}

void ScopedFileKey::reset(int32_t handle) {
  handle_ = handle;
  held_ = true;
}

void ScopedFileKey::release() {
  if (!held_) return;
  held_ = false;  // a failing release is not retried
  platform::use<platform::SecurityLibrary>().freeKey(handle_);
}

}  // namespace tollwick
