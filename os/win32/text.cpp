#include "os/win32/text.h"

#include "platform/ansi_text.h"

namespace tollwick::platform::win32 {

// wchar_t is a UTF-16 unit on Windows.
std::wstring widen(const std::string& ansi) {
  const std::u16string units = ansiToUtf16(ansi);
  return std::wstring(units.begin(), units.end());
}

std::string narrow(const wchar_t* wide, size_t size) {
  return utf16ToAnsi(std::u16string(wide, wide + size));
}

std::string systemMessage(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message;
  if (length > 0 && text != nullptr) message = narrow(text, length);
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  if (message.empty()) message = "system error " + std::to_string(code);
  return message;
}

}  // namespace tollwick::platform::win32
