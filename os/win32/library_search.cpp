#include "os/win32/library_search.h"

#include <string>

namespace tollwick::platform::win32 {
namespace {

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);

// SetDefaultDllDirectories, where kernel32 has it (Windows 8 on, Windows 7 with its
// update, Wine): resolved at run time, so that the program still starts where it is
// missing.
SetDefaultDllDirectoriesFunction setDefaultDllDirectories() {
  const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  if (kernel32 == nullptr) return nullptr;
  return reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void*>(GetProcAddress(kernel32, "SetDefaultDllDirectories")));
}

// The LOAD_LIBRARY_SEARCH_* flags come with SetDefaultDllDirectories.
bool searchFlagsKnown() { return setDefaultDllDirectories() != nullptr; }

}  // namespace

void searchLibrariesInTheSystemFolderOnly() {
  if (const auto restrict = setDefaultDllDirectories()) {
    if (restrict(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  }
  SetDllDirectoryW(L"");
}

HMODULE loadSystemLibrary(const wchar_t* name) {
  if (searchFlagsKnown()) return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  // By its full path in the system folder.
  wchar_t folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  const std::wstring path = std::wstring(folder, length) + L"\\" + name;
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

DWORD flagsForLibraryWithItsDependencies() {
  return searchFlagsKnown() ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32
                            : LOAD_WITH_ALTERED_SEARCH_PATH;
}

}  // namespace tollwick::platform::win32
