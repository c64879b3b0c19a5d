// Builds without a desktop toolkit: no window can be shown, so the start-up code falls
// back to the terminal.

#include "platform/dialog.h"

namespace tollwick::platform {

std::unique_ptr<Dialog> makeDesktopDialog() { return nullptr; }

}  // namespace tollwick::platform
