#pragma once
// The registry facility, shaped like the single-byte (A) registry functions of the
// Windows API: the same arguments, the same out-parameters and the same status codes,
// so that the Windows build fills it with the system functions as they are. Texts
// (key paths, value names, class names, string data) are Windows-1252 bytes; string
// data is handed over without any terminating zero that the caller does not count.

#include <cstdint>

namespace tollwick::platform {

// An open key or a predefined root. A root's value is its 32-bit number sign-extended,
// as Windows defines HKEY_LOCAL_MACHINE and its kind.
using RegKey = std::intptr_t;

namespace reg {

inline constexpr RegKey kClassesRoot = static_cast<int32_t>(0x80000000u);
inline constexpr RegKey kCurrentUser = static_cast<int32_t>(0x80000001u);
inline constexpr RegKey kLocalMachine = static_cast<int32_t>(0x80000002u);
inline constexpr RegKey kUsers = static_cast<int32_t>(0x80000003u);

// Status codes (the system error numbers the registry functions return).
inline constexpr int32_t kSuccess = 0;
inline constexpr int32_t kFileNotFound = 2;  // no such key or value
inline constexpr int32_t kAccessDenied = 5;
inline constexpr int32_t kInvalidHandle = 6;
inline constexpr int32_t kSharingViolation = 32;  // the store is held by another program
inline constexpr int32_t kInvalidParameter = 87;
inline constexpr int32_t kMoreData = 234;           // the caller's buffer is too small
inline constexpr int32_t kBadDb = 1009;             // the store is damaged or not a registry
inline constexpr int32_t kRegistryIoFailed = 1016;  // the store could not be read or written

// Value type codes.
inline constexpr uint32_t kNone = 0;
inline constexpr uint32_t kSz = 1;
inline constexpr uint32_t kExpandSz = 2;
inline constexpr uint32_t kBinary = 3;
inline constexpr uint32_t kDword = 4;
inline constexpr uint32_t kDwordBigEndian = 5;
inline constexpr uint32_t kLink = 6;
inline constexpr uint32_t kMultiSz = 7;
inline constexpr uint32_t kQword = 11;

// Access masks.
inline constexpr uint32_t kKeyQueryValue = 0x0001;
inline constexpr uint32_t kKeySetValue = 0x0002;
inline constexpr uint32_t kKeyRead = 0x20019;
inline constexpr uint32_t kKeyWrite = 0x20006;
inline constexpr uint32_t kKeyAllAccess = 0xF003F;

// True for the types whose data the A functions convert between the code page and
// the registry's UTF-16.
constexpr bool isStringType(uint32_t type) {
  return type == kSz || type == kExpandSz || type == kMultiSz;
}

}  // namespace reg

struct RegFileTime {
  uint32_t lowDateTime = 0;
  uint32_t highDateTime = 0;
};

class Registry {
 public:
  virtual ~Registry() = default;

  // RegOpenKeyExA: opens `subKey` (backslash-separated; empty or null opens `key`
  // itself) below `key` with `samDesired` access. Status 2 when there is no such key.
  virtual int32_t openKeyEx(RegKey key, const char* subKey, uint32_t options, uint32_t samDesired,
                            RegKey* result) = 0;

  // RegQueryInfoKeyA: every out-parameter may be null. `classLength` is the class
  // buffer's capacity in, the class name's length (without its zero) out. Lengths of
  // names are in characters, `maxValueLength` is the longest value data in bytes as
  // stored (never less than what RegQueryValueExA returns for any value of the key).
  virtual int32_t queryInfoKey(RegKey key, char* className, uint32_t* classLength,
                               uint32_t* reserved, uint32_t* subKeys, uint32_t* maxSubKeyLength,
                               uint32_t* maxClassLength, uint32_t* values,
                               uint32_t* maxValueNameLength, uint32_t* maxValueLength,
                               uint32_t* securityDescriptorLength, RegFileTime* lastWriteTime) = 0;

  // RegQueryValueExA: the value named `valueName` (null or empty: the key's default
  // value). `dataLength` is the buffer's capacity in and the data's length out; with a
  // null `data` only the length is returned. A buffer too small gives status 234 and
  // the length needed. String data comes back exactly as stored (a zero is returned
  // only when the value holds one).
  virtual int32_t queryValueEx(RegKey key, const char* valueName, uint32_t* reserved,
                               uint32_t* type, uint8_t* data, uint32_t* dataLength) = 0;

  // RegSetValueExA: stores `dataLength` bytes of `data` as the value `valueName` with
  // type `type`. The key must have been opened with set-value access.
  virtual int32_t setValueEx(RegKey key, const char* valueName, uint32_t reserved, uint32_t type,
                             const uint8_t* data, uint32_t dataLength) = 0;

  // RegCloseKey. Closing a predefined root succeeds and does nothing.
  virtual int32_t closeKey(RegKey key) = 0;

  // RegCreateKeyExA, reduced to what tools and tests need (the program itself never
  // creates keys): opens `subKey`, creating it and any missing parent first.
  virtual int32_t createKeyEx(RegKey key, const char* subKey, uint32_t samDesired,
                              RegKey* result) = 0;
};

}  // namespace tollwick::platform
