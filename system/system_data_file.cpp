#include "system/system_data_file.h"

#include <string>

#include "runtime/binary_file.h"
#include "runtime/message_box.h"
#include "runtime/run_time_error.h"
#include "security/sarn_security.h"
#include "system/checked_reads.h"
#include "system/file_names.h"
#include "system/system_state.h"

namespace tollwick {
namespace {

// The signature text of the unprotected system data file.
std::string readSignatureText(int16_t fileNumber) {
  const int64_t pointerPosition = SarnDataStart() + 12;
  const int32_t textPosition = readInt32(fileNumber, pointerPosition);
  requireInFile(fileNumber, textPosition, 2);
  const int16_t textLength = readInt16(fileNumber, textPosition);
  return readCheckedText(fileNumber, int64_t{textPosition} + 2, textLength);
}

// Unprotects one data file expecting `signature` and protects it again carrying it.
LoadResult recheckDataFile(const std::string& path, int32_t signature) {
  int16_t fileNumber = freeFile();
  openBinary(fileNumber, path);
  if (!SarnDecryptFile(fileNumber, systemKeyText(systemState().header), signature))
    return LoadResult::kFailed;
  if (!SarnEncryptFile(fileNumber, systemKeyText(systemState().header), signature))
    return LoadResult::kNotProtected;
  closeFile(fileNumber);
  return LoadResult::kLoaded;
}

}  // namespace

LoadResult sysLoadSystemDataFile(bool resetSignature) {
  LoadResult result = LoadResult::kLoaded;
  try {
    int16_t fileNumber = freeFile();
    openBinary(fileNumber, sysGetFileName(kSystemDataFileName));
    if (!SarnDecryptFile(fileNumber, systemKeyText(systemState().header)))
      return LoadResult::kFailed;
    systemState().systemSignature = signatureOfText(readSignatureText(fileNumber));
    if (!SarnEncryptFile(fileNumber, systemKeyText(systemState().header)))
      return LoadResult::kNotProtected;
    closeFile(fileNumber);

    if (resetSignature) systemState().systemSignature = 0;
    const int32_t signature = systemState().systemSignature;
    for (const char* name : kSystemDataFiles) {
      std::string path = sysGetFileName(name);
      if (sysFileExists(path)) {
        const LoadResult code = recheckDataFile(path, signature);
        if (code != LoadResult::kLoaded) return code;
      } else if (signature != 0) {
        return LoadResult::kNotLoaded;
      }
    }
  } catch (const RunTimeError& e) {
    reportError(e, "modZELKORSystem:sysLoadSystemDataFile!");
    result = LoadResult::kFailed;
  }
  return result;
}

}  // namespace tollwick
