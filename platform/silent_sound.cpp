// The sound facility of programs that play no sound, and of builds without a sound
// library: nothing plays.

#include <memory>
#include <vector>

#include "platform/resource_library.h"
#include "platform/seam.h"

namespace tollwick::platform {
namespace {

class SilentSoundOutput : public SoundOutput {
 public:
  bool play(std::vector<uint8_t>) override { return false; }
};

}  // namespace

template <>
std::unique_ptr<SoundOutput> makeSystemFacility<SoundOutput>() {
  return std::make_unique<SilentSoundOutput>();
}

}  // namespace tollwick::platform
