#pragma once
// Registry names (of keys and values) compare without regard to case, as Windows' and
// Wine's registries compare them: each UTF-16 unit upper-cased by the system's simple
// Unicode mapping, without any language's special rules ("š" and "Š", "ÿ" and "Ÿ", "ж"
// and "Ж" are one letter each). One fold for the Wine registry file's store and the
// registry's doubles alike; file names are compared by the same mapping
// (platform/ansi_text.h, sameFileName).

#include <string>
#include <string_view>

namespace tollwick::platform {

// The upper case of one unit of a name.
char16_t foldRegistryUnit(char16_t unit);

// The form that names equal without regard to case share.
std::u16string foldRegistryName(std::u16string_view name);

// Whether two names in the system's code page are the same registry name.
bool sameRegistryName(std::string_view a, std::string_view b);

}  // namespace tollwick::platform
