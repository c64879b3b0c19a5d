#include "security/protection_guard.h"

#include <memory>

#include "platform/seam.h"
#include "runtime/run_time_error.h"
#include "security/file_key.h"
#include "security/security_library.h"

namespace tollwick {

ProtectionGuard& ProtectionGuard::of(int16_t fileNumber) {
  // This layer is the only one that attaches a guard to a file.
  if (auto* state = dynamic_cast<ProtectionGuard*>(imageGuard(fileNumber))) return *state;
  auto attached = std::make_unique<ProtectionGuard>();
  ProtectionGuard& state = *attached;
  attachImageGuard(fileNumber, std::move(attached));
  return state;
}

std::optional<UnprotectNote> ProtectionGuard::takeUnprotectNote(uint64_t versionNow) {
  std::optional<UnprotectNote> note;
  note.swap(note_);
  // Image versions are never given out twice: a note no change has overtaken is the
  // image's own.
  if (!note || note->versionAfter != versionNow) return std::nullopt;
  return note;
}

void ProtectionGuard::beforeRead(std::span<uint8_t> image, size_t end) {
  // The header is stored as it is: a read of it alone does not need the data.
  if (end > static_cast<size_t>(kProtectionHeaderLength)) payOwed(image);
}

void ProtectionGuard::beforeWrite(std::span<uint8_t> image) { payOwed(image); }

void ProtectionGuard::payOwed(std::span<uint8_t> image) {
  if (!owed_) return;
  const ProtectState& state = *owed_;
  // The data region is the data the protect left plain; any change of the image's
  // length pays the transform first, so it cannot differ.
  const auto header = static_cast<size_t>(kProtectionHeaderLength);
  if (image.size() < header || image.size() - header != static_cast<size_t>(state.dataLength)) {
    raiseError(err::kInvalidProcedureCall);
  }
  auto& library = platform::use<SecurityLibrary>();
  ScopedFileKey key;
  key.reset(library.makeKey(state.keyTextCheck));
  // A foreign library may not expect a null address, even for no bytes.
  uint8_t none = 0;
  library.mangle(state.dataLength == 0 ? &none : image.data() + header, state.dataLength,
                 state.chain2, key.get());
  // The image holds the file's bytes from here on, whatever the key's release does: a
  // failed release must not leave the transform owed, to be made a second time.
  owed_.reset();
  key.release();
}

}  // namespace tollwick
