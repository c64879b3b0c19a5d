#pragma once
// The resource-library facility: loading a resource-only library file by path and
// reading its resources, as the platform's library and resource functions do.

#include <cstdint>
#include <memory>
#include <string>

namespace tollwick::platform {

// One loaded library. Released when destroyed.
class ResourceModule {
 public:
  virtual ~ResourceModule() = default;

  // As the platform's string loader: copies string `id` (the high 16 bits ignored) as
  // Windows-1252 into `buffer`, at most `capacity` - 1 bytes followed by a NUL, and
  // returns the number of bytes copied; 0 (buffer[0] = NUL) for a missing or empty
  // entry; -1 for a capacity of 0 or less (buffer untouched).
  virtual int32_t loadString(uint32_t id, char* buffer, int32_t capacity) = 0;
};

class ResourceLoader {
 public:
  virtual ~ResourceLoader() = default;

  // Loads the library at `path` (a program path). Null when it cannot be loaded.
  virtual std::unique_ptr<ResourceModule> load(const std::string& path) = 0;
};

}  // namespace tollwick::platform
