#pragma once
// The registry facility on Linux: HKEY_LOCAL_MACHINE is the registry file of the Wine
// prefix, "<prefix>/system.reg" ($WINEPREFIX, or ~/.wine).

#include <memory>
#include <string>

#include "formats/wine_prefix_registry.h"

namespace tollwick::platform {

// The Wine prefix in the host directory `prefix` (empty: $WINEPREFIX, or ~/.wine, as it
// is at each operation).
wine::WinePrefixLocation winePrefixLocation(const std::string& prefix);

// The registry facility over that prefix's system.reg, through the system's files.
std::unique_ptr<Registry> makeWinePrefixRegistry(const std::string& prefix);

// True while the wineserver of `prefix` runs: it holds a write lock on the "lock" file
// of its server directory ("<server dir>/server-<device>-<inode of prefix>/lock").
bool wineServerRunning(const std::string& prefix);

}  // namespace tollwick::platform
