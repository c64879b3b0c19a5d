// The dynamic-library facility on Windows: LoadLibraryExW and GetProcAddress.

#include <windows.h>

#include <memory>
#include <string>

#include "os/win32/library_search.h"
#include "os/win32/text.h"
#include "platform/dynamic_library.h"
#include "platform/seam.h"

namespace tollwick::platform {
namespace {

class Win32DynamicLibrary : public DynamicLibrary {
 public:
  explicit Win32DynamicLibrary(HMODULE module) : module_(module) {}
  ~Win32DynamicLibrary() override { FreeLibrary(module_); }
  Win32DynamicLibrary(const Win32DynamicLibrary&) = delete;
  Win32DynamicLibrary& operator=(const Win32DynamicLibrary&) = delete;

  SymbolAddress symbol(const std::string& name) override {
    // Every export is handed out as the generic function type; the caller casts it back.
    return reinterpret_cast<SymbolAddress>(GetProcAddress(module_, name.c_str()));
  }

 private:
  HMODULE module_;
};

class Win32DynamicLibraries : public DynamicLibraries {
 public:
  Result<std::unique_ptr<DynamicLibrary>> open(const std::string& path) override {
    const std::wstring wide = win32::widen(path);
    // No "cannot find" box from the system: the caller reports the failure its own way.
    DWORD previousMode = 0;
    const bool modeSet =
        SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode) != 0;
    // With a full path, the library's own dependencies are looked for beside it first,
    // then in the system folder.
    const DWORD flags = isFullPath(path) ? win32::flagsForLibraryWithItsDependencies() : 0;
    HMODULE module = wide.empty() ? nullptr : LoadLibraryExW(wide.c_str(), nullptr, flags);
    const DWORD code = module == nullptr ? GetLastError() : ERROR_SUCCESS;
    if (modeSet) SetThreadErrorMode(previousMode, nullptr);
    if (module != nullptr) {
      return std::unique_ptr<DynamicLibrary>(std::make_unique<Win32DynamicLibrary>(module));
    }
    // A library built for the other width (a 32-bit DLL in a 64-bit process) can never
    // be used by this process: it is as good as missing, and reported as such.
    const DWORD reported = code == ERROR_BAD_EXE_FORMAT || code == ERROR_SUCCESS
                               ? static_cast<DWORD>(ERROR_MOD_NOT_FOUND)
                               : code;
    return Status(Code::kNotFound, win32::systemMessage(reported), static_cast<int32_t>(reported));
  }

 private:
  static bool isFullPath(const std::string& path) {
    return (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) ||
           (path.size() >= 2 && path[0] == '\\' && path[1] == '\\');
  }
};

}  // namespace

template <>
std::unique_ptr<DynamicLibraries> makeSystemFacility<DynamicLibraries>() {
  return std::make_unique<Win32DynamicLibraries>();
}

}  // namespace tollwick::platform
