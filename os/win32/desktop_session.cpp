// Windows always has a desktop: a program started from Explorer, a console, a shortcut or
// another program shows its boxes as windows, whatever its environment holds (Wine copies
// the Unix one, DISPLAY included, which a player's Windows never has). The terminal is
// used only when asked for by name.

#include "platform/dialog.h"

namespace tollwick::platform {

bool desktopSession() { return true; }

bool terminalStandsInForDesktop() { return false; }

}  // namespace tollwick::platform
