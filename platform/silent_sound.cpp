// The sound facility of programs that play no sound, and of builds without a sound
// library: nothing plays.

#include <memory>

#include "platform/seam.h"
#include "platform/sound_output.h"

namespace tollwick::platform {
namespace {

class SilentSoundOutput : public SoundOutput {
 public:
  bool play(WaveSound) override { return false; }
};

}  // namespace

template <>
std::unique_ptr<SoundOutput> makeSystemFacility<SoundOutput>() {
  return std::make_unique<SilentSoundOutput>();
}

}  // namespace tollwick::platform
