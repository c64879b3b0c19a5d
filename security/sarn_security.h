#pragma once
// modSarnSecurity: the protected-file cycle. A game file is opened by number
// (runtime/binary_file.h), unprotected with SarnDecryptFile, its plain data read and
// rewritten from SarnDataStart() on, protected again with SarnEncryptFile, closed.
// Each operation is given the key text of the file: fixedKeyText() for the files
// under the fixed key, or the key text of the loaded system (its header's texts 3, 1 and
// 2 joined, system/system_header_record.h).

#include <cstdint>
#include <string>

namespace tollwick {

// The fixed key's seed; its six decimal digits are the fixed key text.
inline constexpr int32_t FixedKeySeed = 640271;

// The key text of the files protected with the fixed key: the digits of FixedKeySeed.
std::string fixedKeyText();

// Unprotects the open file in place under the key made from `keyText`. False (file closed, nothing
// changed) for a wrong key, a foreign signature (expectedSignature and the stored one both non-zero
// and different), damaged data or a file shorter than its 12-byte header; False after the common
// error report (file left open) for a run-time error. After True the file is marked unprotected: it
// is not committed unless SarnEncryptFile protects it again.
bool SarnDecryptFile(int16_t& fileNumber, const std::string& keyText,
                     int32_t expectedSignature = 0);

// Protects the open file in place under the key made from `keyText`, storing `signature` in its
// header: everything from position 13 to the end is the data (a file shorter than 12 bytes grows to
// an empty protected file). False after the common error report for a run-time error (file closed
// without being committed).
bool SarnEncryptFile(int16_t& fileNumber, const std::string& keyText, int32_t signature = 0);

// 13: the position of the first data byte of a protected file.
int32_t SarnDataStart();

// The system signature of a signature text: ZelkorSecVerify over the text's 16-bit
// units, length = number of characters, seed FixedKeySeed.
int32_t signatureOfText(const std::string& signatureText);

}  // namespace tollwick
