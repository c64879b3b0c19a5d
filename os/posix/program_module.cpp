// Opening the program's modules with the dynamic loader, from the running executable's
// directory.

#include "os/posix/program_module.h"

#include <limits.h>
#include <stdlib.h>

#include <memory>
#include <string>

#include "os/posix/shared_object.h"

namespace tollwick::platform {
namespace {

// The host directory (UTF-8, as the kernel names it) of the running executable, links
// resolved; empty when unknown.
std::string runningExecutableHostDirectory() {
  std::unique_ptr<char, decltype(&::free)> resolved(::realpath("/proc/self/exe", nullptr), &::free);
  if (!resolved) return {};
  std::string path(resolved.get());
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

Result<SymbolAddress> programModuleEntry(const std::string& fileName, const char* entry) {
  const std::string directory = runningExecutableHostDirectory();
  if (directory.empty()) return Status(Code::kNotFound, "the program's own directory is unknown");
  const std::string path = directory + "/" + fileName;
  Result<void*> module = posix::loadSharedObject(path);
  if (!module.ok()) return module.status();
  const SymbolAddress address = posix::sharedObjectExport(*module, entry);
  if (address == nullptr) {
    posix::closeSharedObject(*module);
    return Status(Code::kNotFound, path + ": no entry " + entry + " (a module of another build)");
  }
  return address;
}

}  // namespace tollwick::platform
