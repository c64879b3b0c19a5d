#pragma once
// The parts of a RIFF wave file (a "WAVE" resource holds a complete one) needed to play
// it: the sample format and the sample data. Checked against the bytes given.

#include <cstdint>
#include <span>

#include "platform/status.h"

namespace tollwick::pe {

struct WaveSound {
  uint16_t formatTag = 0;  // 1 integer PCM, 3 IEEE float
  uint16_t channels = 0;
  uint32_t sampleRate = 0;
  uint16_t bitsPerSample = 0;
  std::span<const uint8_t> samples;  // whole frames only
};

// Code::kDamaged, saying what is wrong, unless `bytes` hold "RIFF", "WAVE", a "fmt "
// chunk of PCM (8, 16, 24 or 32 bits) or float (32 bits) samples with 1 to 8 channels,
// and a "data" chunk (cut to the bytes present). The extensible format counts as its
// sub-format.
platform::Result<WaveSound> parseWave(std::span<const uint8_t> bytes);

}  // namespace tollwick::pe
