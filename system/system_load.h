#pragma once
// modZELKORSystem: making a game system the current one.

#include <cstdint>
#include <string>

#include "system/load_result.h"

namespace tollwick {

inline constexpr const char* kMustInstallMessage =
    "You must install and run Zelkor before you can use this utility!";

// Loads the system in `systemDirectory` (relative to the system root directory): a
// backslash is appended to the caller's variable when it lacks one, and the result
// becomes the current system directory; the system header is loaded into
// systemState().header (whose system directory is then set), and sysLoadSystemDataFile
// (given `resetSignature`) works out the signature and checks every data file.
// `unused` has no effect.
//
// Messages: a header that does not load shows game string 3078 (style 0); a missing
// system data file shows kMustInstallMessage (style 64, caption game string 3081) and
// ends the program at once; a data file failure shows game strings 3084 to 3088 joined
// (style 48, caption game string 3089).
//
// Results: 0 loaded and checked; -1 the header did not load, a data file is missing, or
// a run-time error was reported ("modZELKORSystem:sysLoadSystem!") before any other
// failure code was set; -2 and -3 the codes of sysLoadSystemDataFile.
LoadResult sysLoadSystem(std::string& systemDirectory, bool resetSignature = false,
                         bool unused = false);

}  // namespace tollwick
