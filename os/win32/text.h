#pragma once
// Texts at the edge of the Windows API: the program's texts are bytes in the system's
// ANSI code page (platform/code_page.h), the wide (W) functions take UTF-16.
// Characters the code page lacks become '?'.

#include <windows.h>

#include <string>

namespace tollwick::platform::win32 {

std::wstring widen(const std::string& ansi);
std::string narrow(const wchar_t* wide, size_t length);
inline std::string narrow(const std::wstring& wide) { return narrow(wide.data(), wide.size()); }

// The system's description of error `code`, without its line break.
std::string systemMessage(DWORD code);

}  // namespace tollwick::platform::win32
