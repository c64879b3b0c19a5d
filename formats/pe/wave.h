#pragma once
// The parts of a RIFF wave file (a "WAVE" resource holds a complete one) needed to play
// it: the sample format and the sample data. Checked against the bytes given.

#include <cstdint>
#include <span>

#include "platform/sound_output.h"
#include "platform/status.h"

namespace tollwick::pe {

// Code::kDamaged, saying what is wrong, unless `bytes` hold "RIFF", "WAVE", a "fmt "
// chunk of PCM (8, 16, 24 or 32 bits) or float (32 bits) samples with 1 to 8 channels,
// and a "data" chunk (cut to the bytes present). The extensible format counts as its
// sub-format.
platform::Result<platform::WaveSamples> parseWave(std::span<const uint8_t> bytes);

}  // namespace tollwick::pe
