#pragma once
// The registry file of a Wine prefix, "<prefix>/system.reg", read and replaced through
// the file-system facility (so the replacement is the same atomic, durable one as for
// every game file, and keeps the file's permissions).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "formats/wine_registry.h"
#include "platform/file_system.h"

namespace tollwick::wine {

// The largest registry file read: 256 MiB. Wine keeps the whole registry in the
// memory of its server and writes it whole at every save; a prefix's system.reg holds
// a few megabytes, tens for a prefix with many programs installed. A longer file (also
// one whose size lied, found so while it is read) is a file that could not be read, and
// the registry is not changed.
inline constexpr uint64_t kLargestRegistryFile = uint64_t{256} << 20;

struct WinePrefixLocation {
  // The prefix's host directory (UTF-8 on Linux), asked again at every operation so
  // that a change of $WINEPREFIX is followed.
  std::function<std::string()> prefix;
  // True while the prefix's wineserver runs (it would overwrite the file).
  std::function<bool(const std::string& prefix)> serverRunning;
};

std::unique_ptr<WineRegistryFile> makeWinePrefixRegistryFile(platform::FileSystem& files,
                                                             WinePrefixLocation location);

// The registry facility over that file.
std::unique_ptr<platform::Registry> makeWinePrefixRegistry(platform::FileSystem& files,
                                                           WinePrefixLocation location);

}  // namespace tollwick::wine
