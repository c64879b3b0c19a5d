// The sound facility of the program on Linux.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "platform/seam.h"
#include "platform/sound_output.h"

namespace tollwick::platform {
namespace {

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
  WaveSound sound;
  sound.file.resize(std::filesystem::file_size(chime));
  std::ifstream(chime, std::ios::binary)
      .read(reinterpret_cast<char*>(sound.file.data()),
            static_cast<std::streamsize>(sound.file.size()));
  // Its samples, 16-bit mono, behind the 44 bytes of its header.
  sound.samples = WaveSamples{1, 1, 22050, 16, 44, sound.file.size() - 44};
  EXPECT_FALSE(mapped("libpulse"));
  use<SoundOutput>().play(std::move(sound));
  EXPECT_TRUE(mapped("libpulse-simple"));
}

}  // namespace
}  // namespace tollwick::platform
