#pragma once
// The sound facility: plays one wave sound (a "WAVE" resource holds a complete RIFF wave
// file) without waiting. A new sound stops the one playing. Windows plays the file with
// its own sound function; a sound server on Linux takes the samples, as the wave reader
// (formats/pe/wave.h) found them.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tollwick::platform {

// The sample format of a wave sound and where its samples lie in the wave file.
struct WaveSamples {
  uint16_t formatTag = 0;  // 1 integer PCM, 3 IEEE float
  uint16_t channels = 0;
  uint32_t sampleRate = 0;
  uint16_t bitsPerSample = 0;
  std::size_t offset = 0;  // of the first sample in the file
  std::size_t size = 0;    // whole frames only
};

// A wave sound to play: the whole file, and its samples where the wave reader found
// some it plays (none for a file it cannot read or a format it does not play).
struct WaveSound {
  std::vector<uint8_t> file;
  std::optional<WaveSamples> samples;
};

class SoundOutput {
 public:
  virtual ~SoundOutput() = default;

  // Starts `sound` and returns at once: true when playback started, false when it is
  // not a playable wave or no audio device opens.
  virtual bool play(WaveSound sound) = 0;
};

}  // namespace tollwick::platform
