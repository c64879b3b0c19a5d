// The resource-library facility on Linux: the language of the locale, and library
// paths given as program paths.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "os/posix/resource_language.h"
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

bool mapped(const std::string& library) {
  std::ifstream maps("/proc/self/maps");
  for (std::string line; std::getline(maps, line);) {
    if (line.find(library) != std::string::npos) return true;
  }
  return false;
}

// The sound server's client comes with the sound module, which lies beside the program
// and is loaded by the first sound, not before; whether a server then plays it depends
// on the machine.
TEST(PosixSound, TheSoundServersClientIsLoadedByTheFirstSoundOnly) {
  if (!std::filesystem::exists(std::string(TOLLWICK_BINARY_DIR) + "/bin/tollwick-sound-pulse.so")) {
    GTEST_SKIP() << "built without the sound server's client";
  }
  const std::string chime = std::string(TOLLWICK_SOURCE_DIR) + "/sample/assets/chime.wav";
  std::vector<uint8_t> wave(std::filesystem::file_size(chime));
  std::ifstream(chime, std::ios::binary)
      .read(reinterpret_cast<char*>(wave.data()), static_cast<std::streamsize>(wave.size()));
  EXPECT_FALSE(mapped("libpulse"));
  use<SoundOutput>().play(wave);
  EXPECT_TRUE(mapped("libpulse-simple"));
}

}  // namespace
}  // namespace tollwick::platform
