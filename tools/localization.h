#pragma once
// The languages zelkor-kit makes localised installations in: the game's strings in that
// language (a Zelkor.dll of its own) and the system's texts in the language's code page,
// as a game installed on such a system holds them.

#include <cstdint>
#include <string_view>

namespace tollwick::kit {

struct Localization {
  const char* language;  // as given to --language: "ru", "pl", "ja"
  uint32_t codePage;     // the code page of the system the game was installed on
  const char* library;   // the resource library beside the kit, installed as Zelkor.dll
  // Texts 1 to 3 of the system header (its key text) and the signature text, in UTF-8.
  const char* systemName;
  const char* secondText;
  const char* thirdText;
  const char* signatureText;
};

// The localisation of `language`, or null for a language the kit does not know.
const Localization* localizationOf(std::string_view language);

// The languages known, for messages: "ru, pl, ja".
const char* knownLanguages();

}  // namespace tollwick::kit
