#include "platform/win32/text.h"

#include <limits>

namespace tollwick::platform::win32 {
namespace {

constexpr UINT kWindows1252 = 1252;

int checkedLength(size_t length) {
  return length > static_cast<size_t>(std::numeric_limits<int>::max()) ? -1
                                                                       : static_cast<int>(length);
}

}  // namespace

std::wstring widen(const std::string& ansi) {
  const int length = checkedLength(ansi.size());
  if (length <= 0) return {};
  // Every byte is one UTF-16 unit in this code page.
  std::wstring wide(static_cast<size_t>(length), L'\0');
  const int converted =
      MultiByteToWideChar(kWindows1252, 0, ansi.data(), length, wide.data(), length);
  wide.resize(converted > 0 ? static_cast<size_t>(converted) : 0);
  return wide;
}

std::string narrow(const wchar_t* wide, size_t size) {
  const int length = checkedLength(size);
  if (length <= 0) return {};
  // No "best fit" look-alikes: a character the code page lacks is '?', never another
  // character that would name another file.
  const int needed = WideCharToMultiByte(kWindows1252, WC_NO_BEST_FIT_CHARS, wide, length, nullptr,
                                         0, "?", nullptr);
  if (needed <= 0) return {};
  std::string ansi(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(kWindows1252, WC_NO_BEST_FIT_CHARS, wide, length, ansi.data(), needed, "?",
                      nullptr);
  return ansi;
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
