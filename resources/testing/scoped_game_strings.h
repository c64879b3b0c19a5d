#pragma once
// The shared resource library pointed at an in-memory string table, for tests of the
// routines that show game strings.

#include <cstdint>
#include <map>
#include <string>

#include "platform/seam.h"
#include "platform/testing/fake_resources.h"

namespace tollwick::testing {

// Installs a fake loader whose library at `path` holds `strings`, and points the
// shared gResource at it; on destruction gResource is left with no library.
class ScopedGameStrings {
 public:
  explicit ScopedGameStrings(std::map<uint32_t, std::string> strings,
                             std::string path = "fake:\\Zelkor.dll");
  ~ScopedGameStrings();
  ScopedGameStrings(const ScopedGameStrings&) = delete;
  ScopedGameStrings& operator=(const ScopedGameStrings&) = delete;

  FakeResourceLoader& loader() { return loader_; }

 private:
  FakeResourceLoader loader_;
  platform::Installed<platform::ResourceLoader> installed_;
};

// A string table with a recognisable text for every game string id: "<id>".
std::map<uint32_t, std::string> numberedGameStrings();

}  // namespace tollwick::testing
