#include "os/posix/resource_language.h"

#include <cstdlib>
#include <string>

#include "platform/resource_library.h"

namespace tollwick::platform::posix {
namespace {

struct Language {
  const char* code;
  uint16_t primary;
};

// Primary language ids of the languages most likely to be seen.
constexpr Language kLanguages[] = {
    {"ar", 0x01}, {"bg", 0x02}, {"ca", 0x03}, {"zh", 0x04}, {"cs", 0x05}, {"da", 0x06},
    {"de", 0x07}, {"el", 0x08}, {"en", 0x09}, {"es", 0x0A}, {"fi", 0x0B}, {"fr", 0x0C},
    {"he", 0x0D}, {"hu", 0x0E}, {"is", 0x0F}, {"it", 0x10}, {"ja", 0x11}, {"ko", 0x12},
    {"nl", 0x13}, {"nb", 0x14}, {"no", 0x14}, {"pl", 0x15}, {"pt", 0x16}, {"ro", 0x18},
    {"ru", 0x19}, {"hr", 0x1A}, {"sk", 0x1B}, {"sv", 0x1D}, {"tr", 0x1F}, {"uk", 0x22},
    {"sl", 0x24}, {"et", 0x25}, {"lv", 0x26}, {"lt", 0x27}};

struct Country {
  uint16_t primary;
  const char* code;
  uint16_t sublanguage;
};

// Sub-languages that are not the default one (1) of their language.
constexpr Country kCountries[] = {
    {0x09, "GB", 2}, {0x09, "AU", 3}, {0x09, "CA", 4}, {0x09, "NZ", 5}, {0x09, "IE", 6},
    {0x07, "CH", 2}, {0x07, "AT", 3}, {0x07, "LU", 4}, {0x07, "LI", 5}, {0x0C, "BE", 2},
    {0x0C, "CA", 3}, {0x0C, "CH", 4}, {0x0C, "LU", 5}, {0x10, "CH", 2}, {0x13, "BE", 2},
    {0x16, "PT", 2}, {0x0A, "MX", 2}, {0x04, "CN", 2}, {0x1D, "FI", 2}};

}  // namespace

uint16_t languageIdOfLocale(std::string_view locale) {
  constexpr uint16_t kEnglishUs = 0x0409;
  const std::string_view language = locale.substr(0, locale.find_first_of("_.@"));
  uint16_t primary = 0;
  for (const Language& l : kLanguages) {
    if (language == l.code) primary = l.primary;
  }
  if (primary == 0) return kEnglishUs;
  uint16_t sublanguage = 1;
  const auto underscore = locale.find('_');
  if (underscore != std::string_view::npos) {
    const std::string_view rest = locale.substr(underscore + 1);
    const std::string_view country = rest.substr(0, rest.find_first_of(".@"));
    for (const Country& c : kCountries) {
      if (c.primary == primary && country == c.code) sublanguage = c.sublanguage;
    }
  }
  return static_cast<uint16_t>(primary | (sublanguage << 10));
}

}  // namespace tollwick::platform::posix

namespace tollwick::platform {

// The language of the first of LC_ALL, LC_MESSAGES and LANG that is set.
uint16_t userInterfaceLanguage() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return posix::languageIdOfLocale(value);
  }
  return posix::languageIdOfLocale("");
}

}  // namespace tollwick::platform
