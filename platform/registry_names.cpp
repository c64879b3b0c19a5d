#include "platform/registry_names.h"

#include "platform/ansi_text.h"
#include "platform/code_page.h"
#include "platform/seam.h"

namespace tollwick::platform {

char16_t foldRegistryUnit(char16_t unit) {
  // The Latin letters need no table (and most names are made of them).
  if (unit < 0x80) return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 0x20) : unit;
  return use<CodePage>().upperCase(unit);
}

std::u16string foldRegistryName(std::u16string_view name) {
  std::u16string out(name);
  for (char16_t& unit : out) unit = foldRegistryUnit(unit);
  return out;
}

bool sameRegistryName(std::string_view a, std::string_view b) {
  return a == b || foldRegistryName(ansiToUtf16(a)) == foldRegistryName(ansiToUtf16(b));
}

}  // namespace tollwick::platform
