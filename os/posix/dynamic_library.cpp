// The dynamic-library facility on POSIX systems: the dynamic loader (shared_object.h).

#include <memory>
#include <string>

#include "os/posix/host_path.h"
#include "os/posix/shared_object.h"
#include "platform/dynamic_library.h"
#include "platform/seam.h"

namespace tollwick::platform {
namespace {

class PosixDynamicLibrary : public DynamicLibrary {
 public:
  explicit PosixDynamicLibrary(void* library) : library_(library) {}
  ~PosixDynamicLibrary() override { posix::closeSharedObject(library_); }
  PosixDynamicLibrary(const PosixDynamicLibrary&) = delete;
  PosixDynamicLibrary& operator=(const PosixDynamicLibrary&) = delete;

  SymbolAddress symbol(const std::string& name) override {
    return posix::sharedObjectExport(library_, name.c_str());
  }

 private:
  void* library_;
};

class PosixDynamicLibraries : public DynamicLibraries {
 public:
  Result<std::unique_ptr<DynamicLibrary>> open(const std::string& path) override {
    Result<void*> library = posix::loadSharedObject(hostPath(path));
    if (!library.ok()) return library.status();
    return std::unique_ptr<DynamicLibrary>(std::make_unique<PosixDynamicLibrary>(*library));
  }
};

}  // namespace

template <>
std::unique_ptr<DynamicLibraries> makeSystemFacility<DynamicLibraries>() {
  return std::make_unique<PosixDynamicLibraries>();
}

}  // namespace tollwick::platform
