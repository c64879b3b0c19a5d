// The user-interface language for picking among a library's resource languages: the
// user's own.

#include <windows.h>

#include "platform/resource_library.h"

namespace tollwick::platform {

uint16_t userInterfaceLanguage() { return static_cast<uint16_t>(GetUserDefaultUILanguage()); }

}  // namespace tollwick::platform
