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
  using StoredValue = platform::RegValue;

  // Test set-up and inspection, by backslash-separated path below HKEY_LOCAL_MACHINE.
  void addKey(const std::string& path);  // with its parents
  void putValue(const std::string& path, const std::string& name, uint32_t type,
                std::string data);  // creates the key when needed
  bool hasKey(const std::string& path) const;
  void clear() { keys_ = {{"", Key{}}}; }  // no keys at all
  std::optional<StoredValue> value(const std::string& path, const std::string& name) const;

  // When not kOk, every writeValue fails with this code and stores nothing.
  platform::Code failWritesWith = platform::Code::kOk;
  // Writes that reached an existing key.
  int writeCalls = 0;
  // Every value name asked for with readValue, in order.
  std::vector<std::string> queried;

  platform::Result<platform::RegValue> readValue(platform::RegRoot root, const std::string& path,
                                                 const std::string& name) override;
  platform::Status writeValue(platform::RegRoot root, const std::string& path,
                              const std::string& name, const platform::RegValue& value) override;
  platform::Status deleteValue(platform::RegRoot root, const std::string& path,
                               const std::string& name) override;
  platform::Status createKey(platform::RegRoot root, const std::string& path) override;

 private:
  struct Key {
    // Folded value name -> stored name and value.
    std::map<std::string, std::pair<std::string, StoredValue>> values;
  };

  // The existing key `path` below `root`, or why there is none.
  platform::Status find(platform::RegRoot root, const std::string& path, Key** key);

  std::map<std::string, Key> keys_{{"", Key{}}};  // by folded path; "" is the root
};

// Installs a MemoryRegistry for the life of the object.
class ScopedMemoryRegistry : public MemoryRegistry {
 public:
  ScopedMemoryRegistry() : installed_(*this) {}

 private:
  platform::Installed<platform::Registry> installed_;
};

}  // namespace tollwick::testing
