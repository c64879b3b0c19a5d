#pragma once
// modRegistry: reads and writes single registry values as text. Each call is one
// operation on the registry facility; nothing is kept between calls.

#include <cstdint>
#include <string>

namespace tollwick {

// HKEY_LOCAL_MACHINE as the 32-bit number the routines take.
inline constexpr int32_t kHkeyLocalMachine = static_cast<int32_t>(0x80000002u);

// The value `valueName` of `keyPath` under `root` as text: a REG_DWORD as its
// hexadecimal digits (upper case, no leading zeros), any other type as its bytes up
// to the first zero, trailing spaces removed. The empty text when the key cannot be
// opened or the value cannot be read.
std::string regReadValue(int32_t root, const std::string& keyPath, const std::string& valueName);

// Stores `valueText` as the value `valueName` of type `type`: for REG_DWORD (4) the
// text is read as a hexadecimal number ("&H" optional, at most 8 characters used),
// any other type stores the text's bytes without a terminating zero. True when
// the value was stored, false otherwise.
bool regWriteValue(int32_t root, const std::string& keyPath, const std::string& valueName,
                   int32_t type, const std::string& valueText);

}  // namespace tollwick
