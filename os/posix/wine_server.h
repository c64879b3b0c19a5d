#pragma once
// Whether a Wine prefix's wineserver runs: while it does, it holds the prefix's registry
// in memory and would overwrite the registry file.

#include <string>

namespace tollwick::platform {

// True while the wineserver of `prefix` (a host directory) runs: it holds a write lock on
// the "lock" file of its server directory ("<server dir>/server-<device>-<inode of
// prefix>/lock").
bool wineServerRunning(const std::string& prefix);

}  // namespace tollwick::platform
