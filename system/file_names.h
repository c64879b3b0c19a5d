#pragma once
// Names and paths of the game system's files. Paths are program paths (backslashes,
// drive letters); the directories come from installationSettings(): the system root
// directory and the current system directory.

#include <cstdint>
#include <string>

#include "runtime/file_commands.h"

namespace tollwick {

// True when a normal file matches `path` (wildcards allowed). A path holding a
// NUL is cut before it, in the caller's text too. Hidden and system files and
// directories never match. A refused search (error 70) counts as existing, any other
// failure as missing; nothing is shown.
bool sysFileExists(std::string& path);

// As sysFileExists, except that a search that fails for any reason but a refusal (a
// disk that fails to read) raises its run-time error instead of counting as missing:
// for the steps that would otherwise take a failing disk for an absent file.
bool fileExistsOrRaise(std::string& path);

// The full path of the system file `fileName`. A `subPath` holding a colon is an
// absolute directory: the result is `subPath` + `fileName`. Otherwise it is the system
// root directory + current system directory (with a backslash added when needed) +
// `subPath` + `fileName`, and with `deleteExisting` an existing file of that name is
// deleted first. `unused` has no effect. A run-time error is reported as
// "modZELKORSystem:sysGetFileName!" and gives "".
std::string sysGetFileName(const std::string& fileName, const std::string& subPath = "",
                           bool deleteExisting = false, bool unused = false);

}  // namespace tollwick
