// The sound facility on Windows: PlaySoundA from memory, asynchronously. The wave's
// bytes must outlive its playing, so the facility keeps the one that plays.

#include <windows.h>
// windows.h first: mmsystem.h needs its types.
#include <mmsystem.h>

#include <memory>
#include <mutex>
#include <vector>

#include "platform/resource_library.h"
#include "platform/seam.h"

namespace tollwick::platform {
namespace {

class Win32SoundOutput : public SoundOutput {
 public:
  ~Win32SoundOutput() override { PlaySoundA(nullptr, nullptr, 0); }

  bool play(std::vector<uint8_t> wave) override {
    std::lock_guard<std::mutex> lock(mutex_);
    // The sound playing stops before its bytes are released.
    PlaySoundA(nullptr, nullptr, 0);
    playing_ = std::move(wave);
    if (playing_.empty()) return false;
    return PlaySoundA(reinterpret_cast<const char*>(playing_.data()), nullptr,
                      SND_MEMORY | SND_ASYNC | SND_NODEFAULT) != FALSE;
  }

 private:
  std::mutex mutex_;
  std::vector<uint8_t> playing_;
};

}  // namespace

template <>
std::unique_ptr<SoundOutput> makeSystemFacility<SoundOutput>() {
  return std::make_unique<Win32SoundOutput>();
}

}  // namespace tollwick::platform
