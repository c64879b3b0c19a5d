#pragma once
// modZELKORSystem: the master system header "ZelkorSystemMain.MSF" in the system root
// directory, which lists every installed game system.

#include <cstdint>

#include "system/load_result.h"

namespace tollwick {

inline constexpr const char* kMasterSystemHeaderName = "ZelkorSystemMain.MSF";
inline constexpr const char* kNotInstalledMessage = "Zelkor has not been installed and run yet!";

// Loads the master system header into systemState(): the master text and the system
// table (replaced whole, zero-based, one entry per listed system).
//
// Results: 0 loaded, or no such file (after the message kNotInstalledMessage, style 48,
// with nothing opened and the table unchanged); -2 the file could not be unprotected or
// protected again, or a run-time error was reported
// ("modZELKORSystem:sysLoadMasterSystemHeader!"). A negative or overlong length, a count
// below 1 (error 9) or of -32768 (error 6) or one the file cannot hold is such an
// error; the table then keeps its previous contents.
LoadResult sysLoadMasterSystemHeader();

}  // namespace tollwick
