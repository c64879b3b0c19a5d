#pragma once
// The user-interface language for picking among a library's resource languages, taken
// from the locale settings of the environment (userInterfaceLanguage,
// platform/resource_library.h).

#include <cstdint>
#include <string_view>

namespace tollwick::platform::posix {

// The language id (primary language | sub-language << 10) of a locale name such as
// "de_DE.UTF-8" or "fr"; 0x0409 (English, United States) for "C", "POSIX", an empty
// name or a language this table does not know.
uint16_t languageIdOfLocale(std::string_view locale);

}  // namespace tollwick::platform::posix
