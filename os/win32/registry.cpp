// The registry facility on Windows: the single-byte (A) functions of advapi32, in the
// 32-bit view of the registry (the game and this utility are 32-bit programs, so a
// 64-bit build must see the keys they see: Software\Wow6432Node).

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/registry.h"
#include "platform/seam.h"

namespace tollwick::platform {
namespace {

// A root's handle is its number sign-extended, as Windows defines HKEY_LOCAL_MACHINE.
HKEY rootHandle(RegRoot root) { return reinterpret_cast<HKEY>(static_cast<std::intptr_t>(root)); }

Status failure(LONG error, const std::string& path) {
  Code code = Code::kUnusable;
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_KEY_DELETED:
      code = Code::kNotFound;
      break;
    case ERROR_ACCESS_DENIED:
      code = Code::kAccessDenied;
      break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      code = Code::kInUse;
      break;
    case ERROR_BADDB:
    case ERROR_BADKEY:
    case ERROR_REGISTRY_CORRUPT:
      code = Code::kDamaged;
      break;
    case ERROR_REGISTRY_IO_FAILED:
    case ERROR_CANTOPEN:
    case ERROR_CANTREAD:
    case ERROR_CANTWRITE:
      code = Code::kIoError;
      break;
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_HANDLE:
      code = Code::kInvalidArgument;
      break;
    default:
      break;
  }
  return Status(code, path, static_cast<int32_t>(error));
}

// An open key, closed when it goes out of scope.
class OpenKey {
 public:
  ~OpenKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  HKEY* out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

class Win32Registry : public Registry {
 public:
  Result<RegValue> readValue(RegRoot root, const std::string& path,
                             const std::string& name) override {
    OpenKey key;
    LONG error =
        RegOpenKeyExA(rootHandle(root), path.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, key.out());
    if (error != ERROR_SUCCESS) return failure(error, path);
    DWORD type = 0;
    DWORD length = 0;
    error = RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, nullptr, &length);
    RegValue value;
    while (error == ERROR_SUCCESS || error == ERROR_MORE_DATA) {
      // RegQueryValueExA appends a zero to a text stored without one when the buffer
      // has room for it (without counting it): one spare byte keeps the data exactly
      // as stored. A value that grew meanwhile answers "more data" with its new size.
      value.data.assign(static_cast<std::size_t>(length) + 1, '\0');
      DWORD capacity = length + 1;
      error = RegQueryValueExA(key.get(), name.c_str(), nullptr, &type,
                               reinterpret_cast<BYTE*>(value.data.data()), &capacity);
      if (error == ERROR_SUCCESS) {
        value.type = type;
        value.data.resize(capacity);
        return value;
      }
      length = capacity;
    }
    return failure(error, path);
  }

  Status writeValue(RegRoot root, const std::string& path, const std::string& name,
                    const RegValue& value) override {
    OpenKey key;
    LONG error =
        RegOpenKeyExA(rootHandle(root), path.c_str(), 0, KEY_WRITE | KEY_WOW64_32KEY, key.out());
    if (error != ERROR_SUCCESS) return failure(error, path);
    // For a text whose last counted byte is not a zero, RegSetValueExA looks at the byte
    // after it and, when that is a zero, stores it too (a caller who "forgot" to count
    // it). The value must hold exactly the bytes given: the text is handed over
    // followed by a byte that is not a zero.
    std::string data = value.data;
    data.push_back('\xFF');
    error = RegSetValueExA(key.get(), name.c_str(), 0, value.type,
                           reinterpret_cast<const BYTE*>(data.data()),
                           static_cast<DWORD>(value.data.size()));
    if (error != ERROR_SUCCESS) return failure(error, path);
    return {};
  }

  Status deleteValue(RegRoot root, const std::string& path, const std::string& name) override {
    OpenKey key;
    LONG error = RegOpenKeyExA(rootHandle(root), path.c_str(), 0, KEY_SET_VALUE | KEY_WOW64_32KEY,
                               key.out());
    if (error == ERROR_SUCCESS) error = RegDeleteValueA(key.get(), name.c_str());
    if (error != ERROR_SUCCESS) return failure(error, path);
    return {};
  }

  Status createKey(RegRoot root, const std::string& path) override {
    OpenKey key;
    const LONG error =
        RegCreateKeyExA(rootHandle(root), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE | KEY_WOW64_32KEY, nullptr, key.out(), nullptr);
    if (error != ERROR_SUCCESS) return failure(error, path);
    return {};
  }
};

}  // namespace

template <>
std::unique_ptr<Registry> makeSystemFacility<Registry>() {
  return std::make_unique<Win32Registry>();
}

}  // namespace tollwick::platform
