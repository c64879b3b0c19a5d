// The dynamic-library facility on POSIX systems: dlopen and dlsym.

#include <dlfcn.h>
#include <sys/stat.h>

#include <memory>
#include <string>

#include "platform/dynamic_library.h"
#include "platform/posix/host_path.h"
#include "platform/seam.h"

namespace tollwick::platform {
namespace {

class PosixDynamicLibrary : public DynamicLibrary {
 public:
  explicit PosixDynamicLibrary(void* handle) : handle_(handle) {}
  ~PosixDynamicLibrary() override { ::dlclose(handle_); }
  PosixDynamicLibrary(const PosixDynamicLibrary&) = delete;
  PosixDynamicLibrary& operator=(const PosixDynamicLibrary&) = delete;

  SymbolAddress symbol(const std::string& name) override {
    // dlsym hands out functions as object pointers; POSIX guarantees the round trip.
    return reinterpret_cast<SymbolAddress>(::dlsym(handle_, name.c_str()));
  }

 private:
  void* handle_;
};

class PosixDynamicLibraries : public DynamicLibraries {
 public:
  Result<std::unique_ptr<DynamicLibrary>> open(const std::string& path) override {
    const std::string host = hostPath(path);
    // dlopen would wait forever on a FIFO in the library's place.
    struct stat st {};
    if (::stat(host.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
      return Status(Code::kNotFound, host + ": not a regular file");
    }
    // Never unmapped, not even by the dlclose at exit: what the library keeps (key
    // handles it gave out) stays valid and reachable for the life of the process.
    void* handle = ::dlopen(host.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (handle == nullptr) {
      const char* reason = ::dlerror();
      return Status(Code::kNotFound, reason != nullptr ? reason : "cannot be loaded");
    }
    return std::unique_ptr<DynamicLibrary>(std::make_unique<PosixDynamicLibrary>(handle));
  }
};

}  // namespace

template <>
std::unique_ptr<DynamicLibraries> makeSystemFacility<DynamicLibraries>() {
  return std::make_unique<PosixDynamicLibraries>();
}

}  // namespace tollwick::platform
