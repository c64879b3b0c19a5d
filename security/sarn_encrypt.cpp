// SarnEncryptFile: protects an open file's image in place.

#include <algorithm>
#include <array>
#include <optional>

#include "platform/seam.h"
#include "runtime/binary_file.h"
#include "runtime/message_box.h"
#include "runtime/run_time_error.h"
#include "security/data_region.h"
#include "security/file_key.h"
#include "security/protection_guard.h"
#include "security/protection_header.h"
#include "security/sarn_security.h"
#include "security/security_library.h"
#include "security/text_check.h"

namespace tollwick {
namespace {

// After a failed protect the image may hold plain or half-transformed data: it is
// marked unprotected so that closing it stores nothing.
void closeUnstored(int16_t fileNumber) {
  try {
    ProtectionGuard::of(fileNumber).setUnprotected(true);
    closeFile(fileNumber);
  } catch (const RunTimeError&) {
    // The failure has been reported once already.
  }
}

}  // namespace

bool SarnEncryptFile(int16_t& fileNumber, const std::string& keyText, int32_t signature) {
  bool result = false;
  ScopedFileKey key;
  try {
    auto& library = platform::use<SecurityLibrary>();
    key.reset(SarnGetFileKey(keyText));

    const int32_t dataLength = dataLengthOf(lengthOfFile(fileNumber));
    // Until the transform below has run, the image holds plain data.
    ProtectionGuard& protection = ProtectionGuard::of(fileNumber);
    protection.setUnprotected(true);

    const int32_t keyTextCheck = checkValueOfText(keyText, 0);
    HeaderField keyCheck = HeaderField::ofValue(keyTextCheck);
    const int32_t chain1 = keyCheck.mangle(0, key.get());
    // Data untouched since it was unprotected with the same key: its check value is the
    // one verified then (the chain values depend on key, seed and length only).
    const std::optional<UnprotectNote> note =
        protection.takeUnprotectNote(imageVersion(fileNumber));
    const bool untouched = note && note->state.keyTextCheck == keyTextCheck;
    HeaderField dataCheck = HeaderField::ofValue(
        untouched ? note->state.dataCheck
                  : library.verify(dataOf(fileNumber, dataLength), dataLength, chain1));
    const int32_t chain2 = dataCheck.mangle(chain1, key.get());
    HeaderField stored = HeaderField::ofValue(signature);
    stored.mangle(FixedKeySeed, key.get());

    // A file shorter than the header grows to it; its data region is then empty.
    std::array<uint8_t, kProtectionHeaderLength> fields{};
    std::copy(keyCheck.bytes().begin(), keyCheck.bytes().end(), fields.begin());
    std::copy(dataCheck.bytes().begin(), dataCheck.bytes().end(), fields.begin() + 4);
    std::copy(stored.bytes().begin(), stored.bytes().end(), fields.begin() + 8);
    writeBytes(fileNumber, 1, fields);

    if (untouched && fields == note->state.header) {
      // Same key, same data, same header: the transform would put back exactly the
      // bytes the unprotect started from. The image stands for them again and owes the
      // transform, paid only if something reads the stored bytes or changes the file.
      restoreImageVersion(fileNumber, note->versionBefore);
      protection.oweProtect(note->state);
    } else {
      library.mangle(dataOf(fileNumber, dataLength), dataLength, chain2, key.get());
    }
    protection.setUnprotected(false);
    key.release();
    result = true;
  } catch (const RunTimeError& error) {
    reportError(error, "modZelkorSecurity:SarnEncryptFile!");
    closeUnstored(fileNumber);
  }
  return result;
}

}  // namespace tollwick
