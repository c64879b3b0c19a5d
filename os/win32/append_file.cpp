// Append-only files on Windows.

#include <windows.h>

#include <memory>
#include <string>

#include "os/win32/text.h"
#include "platform/append_file.h"

namespace tollwick::platform {
namespace {

class Win32AppendFile : public AppendFile {
 public:
  explicit Win32AppendFile(HANDLE handle) : handle_(handle) {}
  ~Win32AppendFile() override { CloseHandle(handle_); }
  Win32AppendFile(const Win32AppendFile&) = delete;
  Win32AppendFile& operator=(const Win32AppendFile&) = delete;

  bool append(std::string_view text) override {
    while (!text.empty()) {
      DWORD written = 0;
      const DWORD chunk = static_cast<DWORD>(text.size() < 65536 ? text.size() : 65536);
      if (!WriteFile(handle_, text.data(), chunk, &written, nullptr) || written == 0) return false;
      text.remove_prefix(written);
    }
    return true;
  }

 private:
  HANDLE handle_;
};

}  // namespace

Result<std::unique_ptr<AppendFile>> openAppendFile(const std::string& path) {
  HANDLE handle =
      CreateFileW(win32::widen(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return Status(Code::kUnusable,
                  "cannot be opened for writing (error " + std::to_string(error) + ")",
                  static_cast<int32_t>(error));
  }
  const DWORD type = GetFileType(handle);
  if (type != FILE_TYPE_DISK && type != FILE_TYPE_PIPE && type != FILE_TYPE_CHAR) {
    CloseHandle(handle);
    return Status(Code::kUnusable, "not a file, a pipe or a console");
  }
  return std::unique_ptr<AppendFile>(std::make_unique<Win32AppendFile>(handle));
}

}  // namespace tollwick::platform
