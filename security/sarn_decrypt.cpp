// SarnDecryptFile: unprotects an open file's image in place.

#include <array>

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

// Wrong key, foreign signature, damaged data: no message; the file is closed without
// being committed, so its bytes on disk stay as they were.
bool refuse(int16_t fileNumber, ScopedFileKey& key) {
  key.release();
  ProtectionGuard::of(fileNumber).setUnprotected(true);
  closeFile(fileNumber);
  return false;
}

}  // namespace

bool SarnDecryptFile(int16_t& fileNumber, const std::string& keyText, int32_t expectedSignature) {
  bool result = false;
  ScopedFileKey key;
  try {
    auto& library = platform::use<SecurityLibrary>();
    key.reset(SarnGetFileKey(keyText));

    // A file shorter than its header cannot be a protected file: refused like damaged
    // data, without reading past its end.
    const uint64_t versionBefore = imageVersion(fileNumber);
    const int64_t fileLength = lengthOfFile(fileNumber);
    if (fileLength < kProtectionHeaderLength) return refuse(fileNumber, key);
    std::array<uint8_t, kProtectionHeaderLength> stored{};
    readBytes(fileNumber, 1, stored);

    const int32_t keyTextCheck = checkValueOfText(keyText, 0);
    HeaderField keyCheck = HeaderField::ofBytes(&stored[0]);
    const int32_t chain1 = keyCheck.mangle(0, key.get());
    if (keyCheck.value() != 0 && keyCheck.value() != keyTextCheck) {
      return refuse(fileNumber, key);
    }
    HeaderField dataCheck = HeaderField::ofBytes(&stored[4]);
    const int32_t chain2 = dataCheck.mangle(chain1, key.get());
    HeaderField signature = HeaderField::ofBytes(&stored[8]);
    signature.mangle(FixedKeySeed, key.get());
    if (expectedSignature != 0 && signature.value() != 0 &&
        signature.value() != expectedSignature) {
      return refuse(fileNumber, key);
    }

    const ProtectState state{
        keyTextCheck, chain1, chain2, dataCheck.value(), dataLengthOf(fileLength), stored};
    ProtectionGuard& protection = ProtectionGuard::of(fileNumber);
    const ProtectState* owed = protection.owedProtect();
    if (owed != nullptr && *owed == state) {
      // The image still holds the plain data an unprotect under this very key, header
      // and length verified, and a protect left owing its transform: this unprotect
      // would give back exactly those bytes and the same check value. The image holds
      // them from now on (a new version).
      protection.forgetOwedProtect();
      imageForTransform(fileNumber);
      protection.setUnprotected(true);
    } else {
      // The data is unprotected in the file's image itself (a transform the image owed
      // is paid first). From here on the image is no longer the stored file: marked so,
      // it is never committed unless protected again.
      uint8_t* data = dataOf(fileNumber, state.dataLength);
      protection.setUnprotected(true);
      library.mangle(data, state.dataLength, chain2, key.get());
      if (library.verify(data, state.dataLength, chain1) != dataCheck.value()) {
        return refuse(fileNumber, key);
      }
    }
    protection.noteUnprotected({versionBefore, imageVersion(fileNumber), state});
    key.release();
    result = true;
  } catch (const RunTimeError& error) {
    reportError(error, "modZelkorSecurity:SarnDecryptFile!");
  }
  return result;
}

}  // namespace tollwick
