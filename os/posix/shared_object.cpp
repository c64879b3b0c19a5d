#include "os/posix/shared_object.h"

#include <dlfcn.h>
#include <sys/stat.h>

namespace tollwick::platform::posix {

Result<void*> loadSharedObject(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return Status(Code::kNotFound, path + ": not installed");
  if (!S_ISREG(st.st_mode)) return Status(Code::kNotFound, path + ": not a regular file");
  void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (library == nullptr) {
    const char* reason = ::dlerror();
    return Status(Code::kNotFound, reason != nullptr ? reason : path + ": cannot be loaded");
  }
  return library;
}

SymbolAddress sharedObjectExport(void* library, const char* name) {
  // dlsym hands out functions as object pointers; POSIX guarantees the round trip.
  return reinterpret_cast<SymbolAddress>(::dlsym(library, name));
}

void closeSharedObject(void* library) { ::dlclose(library); }

}  // namespace tollwick::platform::posix
