#pragma once
// Texts at the edge of the Windows API: the program's texts are Windows-1252 bytes, the
// wide (W) functions take UTF-16. Characters Windows-1252 lacks become '?'.

#include <windows.h>

#include <string>

namespace tollwick::platform::win32 {

std::wstring widen(const std::string& ansi);
std::string narrow(const wchar_t* wide, size_t length);
inline std::string narrow(const std::wstring& wide) { return narrow(wide.data(), wide.size()); }

// The system's description of error `code`, without its line break.
std::string systemMessage(DWORD code);

}  // namespace tollwick::platform::win32
