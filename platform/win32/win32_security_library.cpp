// The security library facility on Windows: ZELKORSEC.dll from the application
// directory, through the dynamic-library facility. In a 32-bit build the exports are
// __stdcall (see zelkorsec/zelkorsec.h).

#include <memory>
#include <mutex>
#include <string>

#include "platform/dynamic_library.h"
#include "platform/process.h"
#include "platform/seam.h"
#include "platform/security_library.h"
#include "runtime/run_time_error.h"
#include "zelkorsec/zelkorsec.h"

namespace tollwick::platform {
namespace {

constexpr const char* kLibraryFile = "ZELKORSEC.dll";
constexpr int32_t kEntryPointNotFound = 453;

class Win32SecurityLibrary : public SecurityLibrary {
 public:
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
  // for the life of the process: handles it gave out must stay valid.
  template <class Function>
  Function entry(Function& slot, const char* name) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (slot != nullptr) return slot;
    const SymbolAddress symbol = library().symbol(name);
    if (symbol == nullptr) {
      raiseError(kEntryPointNotFound,
                 std::string("Can't find DLL entry point ") + name + " in " + kLibraryFile);
    }
    slot = reinterpret_cast<Function>(symbol);
    return slot;
  }

  // Loads the library on first use. A failed load is retried by the next call, as the
  // file may have been put in place since.
  DynamicLibrary& library() {
    if (library_ != nullptr) return *library_;
    const std::string path = use<Process>().applicationDirectory() + "\\" + kLibraryFile;
    std::string error;
    library_ = use<DynamicLibraries>().open(path, error);
    if (library_ == nullptr) {
      raiseError(err::kFileNotFound, std::string("File not found: ") + kLibraryFile);
    }
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
  return std::make_unique<Win32SecurityLibrary>();
}

}  // namespace tollwick::platform
