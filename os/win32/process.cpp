// The process facility on Windows: the executable's directory, a named mutex for the
// previous-instance test (named after the game folder's identity), and TerminateProcess
// for ending at once.

#include <io.h>
#include <windows.h>

#include <shellapi.h>  // after windows.h, whose types it uses

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "os/win32/library_search.h"
#include "os/win32/text.h"
#include "platform/process.h"
#include "platform/seam.h"

namespace tollwick::platform {
namespace {

// The identity of the folder `directory` as a name: its volume's serial number and its
// file index, the same whatever the spelling that led to it (case, a final separator,
// another drive letter or a share reaching the same volume, a link). "" when the folder
// cannot be opened to tell.
std::string folderIdentity(const std::string& directory) {
  const HANDLE folder = CreateFileW(win32::widen(directory).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return "";
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(folder, &info) != FALSE;
  CloseHandle(folder);
  if (!known) return "";
  char out[40];
  std::snprintf(out, sizeof out, "%08lx-%08lx%08lx",
                static_cast<unsigned long>(info.dwVolumeSerialNumber),
                static_cast<unsigned long>(info.nFileIndexHigh),
                static_cast<unsigned long>(info.nFileIndexLow));
  return out;
}

bool missing(DWORD stream) {
  const HANDLE handle = GetStdHandle(stream);
  return handle == nullptr || handle == INVALID_HANDLE_VALUE;
}

// Points the C stream `file` (and through it the C++ one) at the console device
// `device`, and makes it the process's standard handle too, which the Win32 calls read.
void reopen(FILE* file, const wchar_t* device, const wchar_t* mode, DWORD stream) {
  if (_wfreopen(device, mode, file) == nullptr) return;
  const intptr_t handle = _get_osfhandle(_fileno(file));
  if (handle != -1) SetStdHandle(stream, reinterpret_cast<HANDLE>(handle));
}

class Win32Process : public Process {
 public:
  ~Win32Process() override {
    if (mutex_ != nullptr) CloseHandle(mutex_);
  }

  std::string executableDirectory() override {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
      const DWORD length =
          GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
      if (length == 0) return ".";
      if (length < path.size()) {
        path.resize(length);
        break;
      }
      path.resize(path.size() * 2);  // truncated: try a larger buffer
    }
    const size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos) return ".";
    path.resize(separator);  // "C:" for a program at a drive's root
    return win32::narrow(path);
  }

  std::string absolutePath(const std::string& path) override {
    const std::wstring wide = win32::widen(path);
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
      const DWORD length =
          GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
      if (length == 0) return path;
      if (length < full.size()) {
        full.resize(length);
        break;
      }
      full.resize(length);  // the size it needs, with its terminating zero
    }
    // "C:\Games\" names the folder "C:\Games"; a drive's root keeps only "C:", as the
    // executable's directory does.
    while (!full.empty() && (full.back() == L'\\' || full.back() == L'/')) full.pop_back();
    return win32::narrow(full);
  }

  // A mutex of the session named after the game folder's identity.
  bool previousInstanceRunning() override {
    if (mutex_ != nullptr) return false;  // this process already holds it
    const std::string identity = folderIdentity(applicationDirectory());
    if (identity.empty()) return false;  // nothing proves another copy runs
    const std::wstring name = L"Local\\tollwick-folder-" + win32::widen(identity);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    if (mutex == nullptr) return false;  // nothing proves another copy runs
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
      CloseHandle(mutex);
      return true;
    }
    mutex_ = mutex;  // held until the process ends
    return false;
  }

  void searchLibrariesInTheSystemFolderOnly() override {
    win32::searchLibrariesInTheSystemFolderOnly();
  }

  // Streams a console or a redirection gave the program (`tollwick > out.txt`, a pipe
  // from a script) stay as they are; only missing ones take the parent's console.
  void attachToParentConsole() override {
    const bool inputMissing = missing(STD_INPUT_HANDLE);
    const bool outputMissing = missing(STD_OUTPUT_HANDLE);
    const bool errorMissing = missing(STD_ERROR_HANDLE);
    if (!inputMissing && !outputMissing && !errorMissing) return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;  // double-clicked: no console
    if (inputMissing) reopen(stdin, L"CONIN$", L"r", STD_INPUT_HANDLE);
    if (outputMissing) reopen(stdout, L"CONOUT$", L"w", STD_OUTPUT_HANDLE);
    if (errorMissing) reopen(stderr, L"CONOUT$", L"w", STD_ERROR_HANDLE);
  }

  [[noreturn]] void endAtOnce() override {
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 1);
    std::_Exit(1);  // not reached
  }

 private:
  HANDLE mutex_ = nullptr;
};

}  // namespace

template <>
std::unique_ptr<Process> makeSystemFacility<Process>() {
  return std::make_unique<Win32Process>();
}

std::vector<std::string> commandLineArguments(int, char**) {
  std::vector<std::string> arguments;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(win32::narrow(wide[i], wcslen(wide[i])));
  LocalFree(wide);
  return arguments;
}

}  // namespace tollwick::platform
