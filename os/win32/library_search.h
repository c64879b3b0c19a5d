#pragma once
// Where Windows looks for a library loaded by name. By default the program's own folder
// comes first, so a library planted beside the program (in a Downloads folder) would
// run in its place; this program loads the system's libraries from the system folder
// only. The game's security library, loaded by its full path, may still bring its own
// dependencies from its folder.

#include <windows.h>

namespace tollwick::platform::win32 {

// From here on a library loaded by name, and the dependencies of every library, are
// looked for in the system folder only (SetDefaultDllDirectories). Where the system
// lacks that function (Windows 7 without its update), at least the current folder is
// dropped from the search.
void searchLibrariesInTheSystemFolderOnly();

// The system library `name` ("winmm.dll") from the system folder, never from anywhere
// else; null when it cannot be loaded.
HMODULE loadSystemLibrary(const wchar_t* name);

// The flags for LoadLibraryExW of a library given by its full path whose dependencies
// may lie beside it: its own folder, then the system folder.
DWORD flagsForLibraryWithItsDependencies();

}  // namespace tollwick::platform::win32
