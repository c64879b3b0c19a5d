#include "tools/localization.h"

namespace tollwick::kit {
namespace {

// The third text holds a character whose second byte in code page 932 is a backslash's
// (ソ, 0x83 0x5C): the key text then has one too.
constexpr Localization kLocalizations[] = {
    {"ru", 1251, "Zelkor-ru.dll", "Зелкор", "Царства глубин", "Варнхольт Интерактив 1999",
     "СТАНДАРТНАЯ СИСТЕМА ЗЕЛКОРА"},
    {"pl", 1250, "Zelkor-pl.dll", "Zelkor", "Królestwa głębin", "Varnholt Interaktywna 1999",
     "STANDARDOWY SYSTEM ZELKORA"},
    {"ja", 932, "Zelkor-ja.dll", "ゼルコール", "地底の王国", "ヴァルンホルト ソフト 1999",
     "ゼルコール標準システム"},
};

}  // namespace

const Localization* localizationOf(std::string_view language) {
  for (const Localization& localization : kLocalizations) {
    if (language == localization.language) return &localization;
  }
  return nullptr;
}

const char* knownLanguages() { return "ru, pl, ja"; }

}  // namespace tollwick::kit
