// The resource-library facility on Linux: the language of the locale, and library
// paths given as program paths.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/posix/posix_resource_language.h"
#include "platform/resource_library.h"
#include "platform/seam.h"

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

TEST(PosixResourceLibrary, AProgramPathWithBackslashesAndOtherCaseLoads) {
  std::string path = std::string(TOLLWICK_BINARY_DIR) + "\\BIN\\zelkor.DLL";
  auto module = use<ResourceLoader>().load(path);
  ASSERT_NE(module, nullptr) << path;
  char buffer[16];
  EXPECT_EQ(module->loadString(263, buffer, sizeof buffer), 6);
  EXPECT_STREQ(buffer, "Zelkor");
  EXPECT_EQ(use<ResourceLoader>().load(std::string(TOLLWICK_BINARY_DIR) + "/bin/none.dll"),
            nullptr);
  EXPECT_EQ(use<ResourceLoader>().load(""), nullptr);
}

}  // namespace
}  // namespace tollwick::platform
