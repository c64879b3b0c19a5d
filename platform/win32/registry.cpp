// The registry facility on Windows: the single-byte (A) functions of advapi32, in the
// 32-bit view of the registry (the game and this utility are 32-bit programs, so a
// 64-bit build must see the keys they see: Software\Wow6432Node).

#include <windows.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/registry.h"
#include "platform/seam.h"

namespace tollwick::platform {
namespace {

HKEY toHandle(RegKey key) { return reinterpret_cast<HKEY>(key); }
RegKey fromHandle(HKEY key) { return reinterpret_cast<RegKey>(key); }

DWORD* asDword(uint32_t* value) {
  static_assert(sizeof(DWORD) == sizeof(uint32_t));
  return reinterpret_cast<DWORD*>(value);
}

class Win32Registry : public Registry {
 public:
  int32_t openKeyEx(RegKey key, const char* subKey, uint32_t options, uint32_t samDesired,
                    RegKey* result) override {
    HKEY opened = nullptr;
    const LONG status =
        RegOpenKeyExA(toHandle(key), subKey, options, samDesired | KEY_WOW64_32KEY, &opened);
    if (status == ERROR_SUCCESS && result != nullptr) *result = fromHandle(opened);
    return static_cast<int32_t>(status);
  }

  int32_t queryInfoKey(RegKey key, char* className, uint32_t* classLength, uint32_t* reserved,
                       uint32_t* subKeys, uint32_t* maxSubKeyLength, uint32_t* maxClassLength,
                       uint32_t* values, uint32_t* maxValueNameLength, uint32_t* maxValueLength,
                       uint32_t* securityDescriptorLength, RegFileTime* lastWriteTime) override {
    FILETIME written{};
    const LONG status = RegQueryInfoKeyA(
        toHandle(key), className, asDword(classLength), asDword(reserved), asDword(subKeys),
        asDword(maxSubKeyLength), asDword(maxClassLength), asDword(values),
        asDword(maxValueNameLength), asDword(maxValueLength), asDword(securityDescriptorLength),
        lastWriteTime != nullptr ? &written : nullptr);
    if (status == ERROR_SUCCESS && lastWriteTime != nullptr) {
      lastWriteTime->lowDateTime = written.dwLowDateTime;
      lastWriteTime->highDateTime = written.dwHighDateTime;
    }
    return static_cast<int32_t>(status);
  }

  int32_t queryValueEx(RegKey key, const char* valueName, uint32_t* reserved, uint32_t* type,
                       uint8_t* data, uint32_t* dataLength) override {
    if (data == nullptr || dataLength == nullptr || *dataLength == UINT32_MAX) {
      return static_cast<int32_t>(RegQueryValueExA(toHandle(key), valueName, asDword(reserved),
                                                   asDword(type), data, asDword(dataLength)));
    }
    // RegQueryValueExA appends a zero to a text stored without one when the buffer has
    // room for it (without counting it). The caller gets the data exactly as stored:
    // the value is read into a buffer one byte larger and only the data is copied.
    const uint32_t capacity = *dataLength;
    std::vector<uint8_t> buffer(static_cast<size_t>(capacity) + 1);
    DWORD valueType = 0;
    DWORD length = capacity + 1;
    const LONG status = RegQueryValueExA(toHandle(key), valueName, asDword(reserved), &valueType,
                                         buffer.data(), &length);
    if (type != nullptr) *type = valueType;
    if (status == ERROR_MORE_DATA) {
      *dataLength = length;
      return static_cast<int32_t>(status);
    }
    if (status != ERROR_SUCCESS) return static_cast<int32_t>(status);
    *dataLength = length;
    // The spare byte held data, not only a zero the function added: too small.
    if (length > capacity) return static_cast<int32_t>(ERROR_MORE_DATA);
    if (length > 0) std::memcpy(data, buffer.data(), length);
    return static_cast<int32_t>(ERROR_SUCCESS);
  }

  int32_t setValueEx(RegKey key, const char* valueName, uint32_t reserved, uint32_t type,
                     const uint8_t* data, uint32_t dataLength) override {
    if (data == nullptr || dataLength == 0 || !reg::isStringType(type) ||
        dataLength == UINT32_MAX) {
      return static_cast<int32_t>(
          RegSetValueExA(toHandle(key), valueName, reserved, type, data, dataLength));
    }
    // For a text whose last counted byte is not a zero, RegSetValueExA looks at the byte
    // after it and, when that is a zero, stores it too (a caller who "forgot" to count
    // it). The value must hold exactly the bytes given, and the caller's buffer may end
    // there: the text is handed over in a copy followed by a byte that is not a zero.
    std::vector<uint8_t> copy(data, data + dataLength);
    copy.push_back(0xFF);
    return static_cast<int32_t>(
        RegSetValueExA(toHandle(key), valueName, reserved, type, copy.data(), dataLength));
  }

  int32_t closeKey(RegKey key) override {
    if (isRoot(key)) return static_cast<int32_t>(ERROR_SUCCESS);
    return static_cast<int32_t>(RegCloseKey(toHandle(key)));
  }

  int32_t createKeyEx(RegKey key, const char* subKey, uint32_t samDesired,
                      RegKey* result) override {
    HKEY created = nullptr;
    const LONG status = RegCreateKeyExA(toHandle(key), subKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        samDesired | KEY_WOW64_32KEY, nullptr, &created, nullptr);
    if (status == ERROR_SUCCESS && result != nullptr) *result = fromHandle(created);
    return static_cast<int32_t>(status);
  }

 private:
  static bool isRoot(RegKey key) {
    return key == reg::kClassesRoot || key == reg::kCurrentUser || key == reg::kLocalMachine ||
           key == reg::kUsers;
  }
};

}  // namespace

template <>
std::unique_ptr<Registry> makeSystemFacility<Registry>() {
  return std::make_unique<Win32Registry>();
}

}  // namespace tollwick::platform
