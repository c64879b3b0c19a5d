#pragma once
// A registry for tests: keys of HKEY_LOCAL_MACHINE held in memory, names matched
// without regard to case, data kept exactly as the A functions hand it over. It
// answers as the Wine file store does (the typed registry tests run both).

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/seam.h"

namespace tollwick::testing {

class MemoryRegistry : public platform::Registry {
 public:
  struct StoredValue {
    uint32_t type = 0;
    std::string data;  // bytes as RegQueryValueExA returns them
    bool operator==(const StoredValue&) const = default;
  };

  // Test set-up and inspection, by backslash-separated path below HKEY_LOCAL_MACHINE.
  void addKey(const std::string& path);  // with its parents
  void putValue(const std::string& path, const std::string& name, uint32_t type,
                std::string data);  // creates the key when needed
  bool hasKey(const std::string& path) const;
  void clear() { keys_ = {{"", Key{}}}; }  // no keys at all
  std::optional<StoredValue> value(const std::string& path, const std::string& name) const;

  // When non-zero, every setValueEx fails with this status and stores nothing.
  int32_t failWritesWith = 0;
  int setValueCalls = 0;
  // Every value name asked for with queryValueEx, in order.
  std::vector<std::string> queried;
  // Keys opened or created and not yet closed.
  std::size_t openKeys() const { return open_.size(); }

  int32_t openKeyEx(platform::RegKey key, const char* subKey, uint32_t options, uint32_t samDesired,
                    platform::RegKey* result) override;
  int32_t queryInfoKey(platform::RegKey key, char* className, uint32_t* classLength,
                       uint32_t* reserved, uint32_t* subKeys, uint32_t* maxSubKeyLength,
                       uint32_t* maxClassLength, uint32_t* values, uint32_t* maxValueNameLength,
                       uint32_t* maxValueLength, uint32_t* securityDescriptorLength,
                       platform::RegFileTime* lastWriteTime) override;
  int32_t queryValueEx(platform::RegKey key, const char* valueName, uint32_t* reserved,
                       uint32_t* type, uint8_t* data, uint32_t* dataLength) override;
  int32_t setValueEx(platform::RegKey key, const char* valueName, uint32_t reserved, uint32_t type,
                     const uint8_t* data, uint32_t dataLength) override;
  int32_t closeKey(platform::RegKey key) override;
  int32_t createKeyEx(platform::RegKey key, const char* subKey, uint32_t samDesired,
                      platform::RegKey* result) override;

 private:
  struct Key {
    // Folded value name -> stored name and value.
    std::map<std::string, std::pair<std::string, StoredValue>> values;
  };
  struct OpenKey {
    std::string path;  // folded
    uint32_t access = 0;
  };

  int32_t resolve(platform::RegKey key, const char* subKey, std::string* path) const;

  std::map<std::string, Key> keys_{{"", Key{}}};  // by folded path; "" is the root
  std::map<platform::RegKey, OpenKey> open_;
  platform::RegKey nextHandle_ = 1;
};

// Installs a MemoryRegistry for the life of the object.
class ScopedMemoryRegistry : public MemoryRegistry {
 public:
  ScopedMemoryRegistry() : installed_(*this) {}

 private:
  platform::Installed<platform::Registry> installed_;
};

}  // namespace tollwick::testing
