#include "security/owed_protect.h"

#include "platform/seam.h"
#include "platform/security_library.h"
#include "runtime/run_time_error.h"
#include "security/file_key.h"

namespace tollwick {

void OwedProtect::pay(std::span<uint8_t> region) {
  // The region is the data the protect left plain; any change of the image's length
  // pays the transform first, so it cannot differ.
  if (region.size() != static_cast<size_t>(state_.dataLength)) {
    raiseError(err::kInvalidProcedureCall);
  }
  auto& library = platform::use<platform::SecurityLibrary>();
  ScopedFileKey key;
  key.reset(library.makeKey(state_.keyTextCheck));
  // A foreign library may not expect a null address, even for no bytes.
  uint8_t none = 0;
  library.mangle(region.empty() ? &none : region.data(), state_.dataLength, state_.chain2,
                 key.get());
  key.release();
}

}  // namespace tollwick
