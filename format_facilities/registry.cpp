#include "format_facilities/registry.h"

#include "os/posix/host_path.h"
#include "os/posix/wine_server.h"
#include "platform/file_system.h"
#include "platform/seam.h"

namespace tollwick::platform {

wine::WinePrefixLocation winePrefixLocation(const std::string& prefix) {
  wine::WinePrefixLocation location;
  location.prefix = [prefix] { return prefix.empty() ? winePrefix() : prefix; };
  location.serverRunning = wineServerRunning;
  return location;
}

std::unique_ptr<Registry> makeWinePrefixRegistry(const std::string& prefix) {
  return wine::makeWinePrefixRegistry(use<FileSystem>(), winePrefixLocation(prefix));
}

template <>
std::unique_ptr<Registry> makeSystemFacility<Registry>() {
  return makeWinePrefixRegistry("");
}

}  // namespace tollwick::platform
