#pragma once
// The dynamic-library facility: opening a shared library by path and finding its
// exported functions by name, with the operating system's own word when either fails.
// What a library that cannot be loaded means to the program (a run-time error naming
// it) is decided above this layer.

#include <memory>
#include <string>

#include "platform/status.h"

namespace tollwick::platform {

// The file name ending of a shared library on this system.
#if defined(_WIN32)
inline constexpr const char* kSharedLibrarySuffix = ".dll";
#else
inline constexpr const char* kSharedLibrarySuffix = ".so";
#endif

// Any exported function, to be cast to its real type by the caller.
using SymbolAddress = void (*)();

// One loaded library; unloaded when destroyed, so keep it as long as any function or
// handle it gave out is in use.
class DynamicLibrary {
 public:
  virtual ~DynamicLibrary() = default;

  // The export `name` (undecorated), or null when the library has none by that name.
  virtual SymbolAddress symbol(const std::string& name) = 0;
};

class DynamicLibraries {
 public:
  virtual ~DynamicLibraries() = default;

  // Loads the library at the program path `path` (the code page). A library that cannot
  // be loaded (missing, unreadable, not a library, or built for another architecture)
  // gives Code::kNotFound with the loader's own description as the context.
  virtual Result<std::unique_ptr<DynamicLibrary>> open(const std::string& path) = 0;
};

}  // namespace tollwick::platform
