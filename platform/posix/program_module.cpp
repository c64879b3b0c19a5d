// Opening the program's modules with dlopen, from the running executable's directory.

#include "platform/posix/program_module.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <memory>
#include <string>

namespace tollwick::platform {
namespace {

// The directory of the running executable, links resolved; empty when unknown.
std::string executableDirectory() {
  std::unique_ptr<char, decltype(&::free)> resolved(::realpath("/proc/self/exe", nullptr), &::free);
  if (!resolved) return {};
  std::string path(resolved.get());
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

SymbolAddress programModuleEntry(const std::string& fileName, const char* entry,
                                 std::string& error) {
  const std::string directory = executableDirectory();
  if (directory.empty()) {
    error = "the program's own directory is unknown";
    return nullptr;
  }
  const std::string path = directory + "/" + fileName;
  // dlopen would wait forever on a FIFO in the module's place.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    error = path + ": not installed";
    return nullptr;
  }
  if (!S_ISREG(st.st_mode)) {
    error = path + ": not a regular file";
    return nullptr;
  }
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle == nullptr) {
    const char* reason = ::dlerror();
    error = reason != nullptr ? reason : path + ": cannot be loaded";
    return nullptr;
  }
  // dlsym hands out functions as object pointers; POSIX guarantees the round trip.
  const auto address = reinterpret_cast<SymbolAddress>(::dlsym(handle, entry));
  if (address == nullptr) {
    error = path + ": no entry " + entry + " (a module of another build)";
    ::dlclose(handle);
  }
  return address;
}

}  // namespace tollwick::platform
