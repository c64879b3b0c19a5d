// The user-interface language on Linux: the language of the locale.

#include "os/posix/resource_language.h"

#include <gtest/gtest.h>

#include <utility>

namespace tollwick::platform {
namespace {

TEST(PosixResourceLanguage, LocaleNamesGiveTheirLanguageIds) {
  const std::pair<const char*, uint16_t> cases[] = {
      {"de_DE.UTF-8", 0x0407}, {"de_CH.UTF-8", 0x0807}, {"en_GB", 0x0809},
      {"fr", 0x040C},          {"pt_BR.utf8", 0x0416},  {"pt_PT@euro", 0x0816},
      {"C", 0x0409},           {"POSIX", 0x0409},       {"", 0x0409},
      {"xx_YY", 0x0409}};
  for (const auto& [locale, id] : cases) {
    EXPECT_EQ(posix::languageIdOfLocale(locale), id) << locale;
  }
}

}  // namespace
}  // namespace tollwick::platform
