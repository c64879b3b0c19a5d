// windows-env.exe PROGRAM [ARGUMENTS...]: starts a Windows program in the environment a
// player's Windows gives it, and ends with its exit code.
//
// Wine builds a Windows program's environment from the Unix one: DISPLAY, HOME, SHELL,
// XDG_* and the rest appear there, which Windows never has, so code that reads them
// passes every test under Wine and fails on Windows. The whole-program tests start the
// programs through this launcher: it keeps Windows' own variables, the TOLLWICK_ ones a
// test sets on purpose, and what Wine itself reads to start a program (WINE*, and the
// locale variables from which it takes the code page, a setting of the system on
// Windows); every other variable is removed. Wine's display driver keeps its display,
// so windows still show. Standard input, output and error are passed on.
//
// A test tool, not part of the product: it calls Win32 directly.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// The variables a Windows session has (names compare without regard to case).
const wchar_t* const kWindowsVariables[] = {L"ALLUSERSPROFILE",
                                            L"APPDATA",
                                            L"CommonProgramFiles",
                                            L"CommonProgramFiles(x86)",
                                            L"CommonProgramW6432",
                                            L"COMPUTERNAME",
                                            L"ComSpec",
                                            L"HOMEDRIVE",
                                            L"HOMEPATH",
                                            L"LOCALAPPDATA",
                                            L"LOGONSERVER",
                                            L"NUMBER_OF_PROCESSORS",
                                            L"OS",
                                            L"Path",
                                            L"PATHEXT",
                                            L"PROCESSOR_ARCHITECTURE",
                                            L"PROCESSOR_ARCHITEW6432",
                                            L"PROCESSOR_IDENTIFIER",
                                            L"PROCESSOR_LEVEL",
                                            L"PROCESSOR_REVISION",
                                            L"ProgramData",
                                            L"ProgramFiles",
                                            L"ProgramFiles(x86)",
                                            L"ProgramW6432",
                                            L"PROMPT",
                                            L"PUBLIC",
                                            L"SESSIONNAME",
                                            L"SystemDrive",
                                            L"SystemRoot",
                                            L"TEMP",
                                            L"TMP",
                                            L"USERDOMAIN",
                                            L"USERNAME",
                                            L"USERPROFILE",
                                            L"windir"};

// Prefixes of the names kept besides: the tests' own settings, Wine's, the locale's.
const wchar_t* const kKeptPrefixes[] = {L"TOLLWICK_", L"WINE", L"LANG", L"LC_"};

bool keep(const wchar_t* entry) {
  if (entry[0] == L'=') return true;  // the current folder of each drive, as Windows keeps it
  const wchar_t* equals = std::wcschr(entry, L'=');
  if (equals == nullptr) return false;
  const size_t length = static_cast<size_t>(equals - entry);
  for (const wchar_t* name : kWindowsVariables) {
    if (std::wcslen(name) == length && _wcsnicmp(entry, name, length) == 0) return true;
  }
  for (const wchar_t* prefix : kKeptPrefixes) {
    const size_t prefixLength = std::wcslen(prefix);
    if (length >= prefixLength && _wcsnicmp(entry, prefix, prefixLength) == 0) return true;
  }
  return false;
}

// The command line after this program's own name, as given: the program to start and
// its arguments, quoted as the caller quoted them.
const wchar_t* commandAfterOwnName(const wchar_t* line) {
  if (*line == L'"') {
    ++line;
    while (*line != L'\0' && *line != L'"') ++line;
    if (*line == L'"') ++line;
  } else {
    while (*line != L'\0' && *line != L' ' && *line != L'\t') ++line;
  }
  while (*line == L' ' || *line == L'\t') ++line;
  return line;
}

}  // namespace

int main() {
  std::wstring command = commandAfterOwnName(GetCommandLineW());
  if (command.empty()) {
    std::fputs("usage: windows-env.exe PROGRAM [ARGUMENTS...]\n", stderr);
    return 125;
  }

  std::vector<wchar_t> environment;
  wchar_t* inherited = GetEnvironmentStringsW();
  for (const wchar_t* entry = inherited; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
    if (keep(entry)) environment.insert(environment.end(), entry, entry + std::wcslen(entry) + 1);
  }
  FreeEnvironmentStringsW(inherited);
  environment.push_back(L'\0');
  environment.push_back(L'\0');

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  for (HANDLE stream : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) {
    if (stream != nullptr && stream != INVALID_HANDLE_VALUE) {
      SetHandleInformation(stream, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
  }
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                      environment.data(), nullptr, &startup, &process)) {
    std::fprintf(stderr, "windows-env.exe: the program could not be started (error %lu)\n",
                 GetLastError());
    return 125;
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}
