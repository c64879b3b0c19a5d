#include "formats/pe/wave.h"

#include <algorithm>
#include <cstring>

#include "base/bytes.h"

namespace tollwick::pe {
namespace {

constexpr uint16_t kPcm = 1;
constexpr uint16_t kFloat = 3;
constexpr uint16_t kExtensible = 0xFFFE;

platform::Status damaged(const char* what) {
  return platform::Status(platform::Code::kDamaged, what);
}

}  // namespace

platform::Result<platform::WaveSamples> parseWave(std::span<const uint8_t> bytes) {
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
      std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
    return damaged("not a RIFF wave file");
  }
  platform::WaveSamples sound;
  bool haveFormat = false;
  bool haveData = false;
  std::size_t at = 12;
  while (at + 8 <= bytes.size() && !haveData) {
    const uint8_t* id = bytes.data() + at;
    const uint64_t size = readLe32(bytes, at + 4);
    const std::size_t body = at + 8;
    const std::size_t available = bytes.size() - body;
    if (std::memcmp(id, "fmt ", 4) == 0) {
      if (size < 16 || size > available) return damaged("format chunk cut short");
      sound.formatTag = readLe16(bytes, body);
      sound.channels = readLe16(bytes, body + 2);
      sound.sampleRate = readLe32(bytes, body + 4);
      sound.bitsPerSample = readLe16(bytes, body + 14);
      if (sound.formatTag == kExtensible) {
        if (size < 40) return damaged("extensible format chunk cut short");
        sound.formatTag = readLe16(bytes, body + 24);  // first two bytes of the sub-format GUID
      }
      haveFormat = true;
    } else if (std::memcmp(id, "data", 4) == 0) {
      if (!haveFormat) return damaged("data chunk before the format chunk");
      sound.offset = body;
      sound.size = static_cast<std::size_t>(std::min<uint64_t>(size, available));
      haveData = true;
      break;
    }
    if (size > available) return damaged("chunk longer than the file");
    at = body + static_cast<std::size_t>(size) + (size & 1);  // chunks are padded to even sizes
  }
  if (!haveData) return damaged("no data chunk");
  const bool pcm =
      sound.formatTag == kPcm && (sound.bitsPerSample == 8 || sound.bitsPerSample == 16 ||
                                  sound.bitsPerSample == 24 || sound.bitsPerSample == 32);
  const bool floating = sound.formatTag == kFloat && sound.bitsPerSample == 32;
  if (!(pcm || floating) || sound.channels == 0 || sound.channels > 8 || sound.sampleRate == 0 ||
      sound.sampleRate > 384000) {
    return damaged("sample format not playable");
  }
  const std::size_t frame = std::size_t{sound.channels} * (sound.bitsPerSample / 8);
  sound.size -= sound.size % frame;
  return sound;
}

}  // namespace tollwick::pe
