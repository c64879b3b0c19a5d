// The sound facility of the program on Linux: the sound module (the desktop's sound
// server) is loaded on the first sound, so a run that plays none maps no part of the
// sound server's client. A module that is missing or cannot be loaded plays nothing:
// every play() then returns false, as for a machine without a sound server.

#include <memory>
#include <string>
#include <utility>

#include "os/posix/program_module.h"
#include "platform/seam.h"
#include "platform/sound_output.h"

namespace tollwick::platform {
namespace {

class SoundOutputOnDemand : public SoundOutput {
 public:
  bool play(WaveSound sound) override {
    if (!tried_) {
      tried_ = true;
      using MakeOutput = SoundOutput* (*)();
      const Result<SymbolAddress> entry =
          programModuleEntry(kSoundModule, "tollwick_sound_output_v1");
      if (entry.ok()) output_.reset(reinterpret_cast<MakeOutput>(*entry)());
    }
    return output_ != nullptr && output_->play(std::move(sound));
  }

 private:
  bool tried_ = false;
  std::unique_ptr<SoundOutput> output_;
};

}  // namespace

template <>
std::unique_ptr<SoundOutput> makeSystemFacility<SoundOutput>() {
  return std::make_unique<SoundOutputOnDemand>();
}

}  // namespace tollwick::platform
