#pragma once
// The registry facility on Linux: HKEY_LOCAL_MACHINE is the registry file of the Wine
// prefix, "<prefix>/system.reg" ($WINEPREFIX, or ~/.wine), read and written in Wine's own
// format through the system's files. (On Windows the registry is the system's own:
// os/win32/registry.cpp.)

#include <memory>
#include <string>

#include "formats/wine_prefix_registry.h"
#include "platform/registry.h"

namespace tollwick::platform {

// The Wine prefix in the host directory `prefix` (empty: $WINEPREFIX, or ~/.wine, as it
// is at each operation), with its wineserver.
wine::WinePrefixLocation winePrefixLocation(const std::string& prefix);

// The registry facility over that prefix's system.reg, through the system's files.
std::unique_ptr<Registry> makeWinePrefixRegistry(const std::string& prefix);

}  // namespace tollwick::platform
