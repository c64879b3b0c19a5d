#include "security/file_key.h"

#include "platform/seam.h"
#include "runtime/run_time_error.h"
#include "security/sarn_security.h"
#include "security/security_library.h"
#include "security/text_check.h"

namespace tollwick {

int32_t SarnGetFileKey(const std::string& keyText) {
  const int32_t check = checkValueOfText(keyText, 0);
  return platform::use<SecurityLibrary>().makeKey(check);
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
  platform::use<SecurityLibrary>().freeKey(handle_);
}

}  // namespace tollwick
