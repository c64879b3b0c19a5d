// Whether a Linux session has a desktop: a display named by DISPLAY (X11) or
// WAYLAND_DISPLAY. A session without one, or whose display went away, has its terminal.

#include <cstdlib>

#include "platform/dialog.h"

namespace tollwick::platform {
namespace {

bool isSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

bool desktopSession() { return isSet("DISPLAY") || isSet("WAYLAND_DISPLAY"); }

bool terminalStandsInForDesktop() { return true; }

}  // namespace tollwick::platform
