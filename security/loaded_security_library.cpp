// The security library the game files are protected with: ZELKORSEC from the
// application directory, loaded on first use through the dynamic-library facility, its
// exports resolved by name on their first call.

#include "security/security_library.h"

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/dynamic_library.h"
#include "platform/process.h"
#include "platform/seam.h"
#include "runtime/run_time_error.h"
#include "zelkorsec/zelkorsec.h"

namespace tollwick::platform {
namespace {

constexpr int32_t kEntryPointNotFound = 453;

std::string libraryFileName() { return std::string("ZELKORSEC") + kSharedLibrarySuffix; }

// Libraries once loaded are never unloaded: key handles they gave out, their own state
// and anything destroyed late at exit may still need them. The list itself is never
// destroyed either.
std::vector<std::unique_ptr<DynamicLibrary>>& librariesKeptLoaded() {
  static auto* kept = new std::vector<std::unique_ptr<DynamicLibrary>>();
  return *kept;
}

class LoadedSecurityLibrary : public SecurityLibrary {
 public:
  LoadedSecurityLibrary() = default;
  LoadedSecurityLibrary(const LoadedSecurityLibrary&) = delete;
  LoadedSecurityLibrary& operator=(const LoadedSecurityLibrary&) = delete;
  ~LoadedSecurityLibrary() override {
    if (library_ != nullptr) librariesKeptLoaded().push_back(std::move(library_));
  }

  int32_t verify(const void* buffer, int32_t length, int32_t seed) override {
    return entry(verify_, "ZelkorSecVerify")(buffer, length, seed);
  }
  int32_t mangle(void* buffer, int32_t length, int32_t seed, int32_t key) override {
    return entry(mangle_, "ZelkorSecMangle")(buffer, length, seed, key);
  }
  int32_t makeKey(int32_t check) override { return entry(makeKey_, "ZelkorSecMakeKey")(check); }
  int32_t freeKey(int32_t key) override { return entry(freeKey_, "ZelkorSecFreeKey")(key); }

 private:
  // The export `name`, resolved on its first call and kept. The library stays loaded
  // for the life of the process: key handles it gave out must stay valid.
  template <class Function>
  Function entry(Function& slot, const char* name) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (slot != nullptr) return slot;
    const SymbolAddress symbol = library().symbol(name);
    if (symbol == nullptr) {
      raiseError(kEntryPointNotFound,
                 std::string("Can't find DLL entry point ") + name + " in " + libraryFileName());
    }
    slot = reinterpret_cast<Function>(symbol);
    return slot;
  }

  // Loads the library on first use. A failed load is retried by the next call, as the
  // file may have been put in place since.
  DynamicLibrary& library() {
    if (library_ != nullptr) return *library_;
    const std::string path = use<Process>().applicationDirectory() + "/" + libraryFileName();
    auto opened = use<DynamicLibraries>().open(path);
    if (!opened.ok()) raiseError(err::kFileNotFound, "File not found: " + libraryFileName());
    library_ = std::move(opened).value();
    return *library_;
  }

  std::mutex mutex_;
  std::unique_ptr<DynamicLibrary> library_;
  ZelkorSecVerifyFn verify_ = nullptr;
  ZelkorSecMangleFn mangle_ = nullptr;
  ZelkorSecMakeKeyFn makeKey_ = nullptr;
  ZelkorSecFreeKeyFn freeKey_ = nullptr;
};

}  // namespace

template <>
std::unique_ptr<SecurityLibrary> makeSystemFacility<SecurityLibrary>() {
  return std::make_unique<LoadedSecurityLibrary>();
}

}  // namespace tollwick::platform
