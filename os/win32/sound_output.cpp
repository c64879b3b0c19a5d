// The sound facility on Windows: PlaySoundA from memory, asynchronously. The wave's
// bytes must outlive its playing, so the facility keeps the one that plays. winmm is
// not imported: it is loaded from the system folder at the first sound
// (library_search.h), so that a winmm.dll beside the program never runs.

#include <windows.h>
// windows.h first: mmsystem.h needs its types.
#include <mmsystem.h>

#include <memory>
#include <mutex>
#include <vector>

#include "os/win32/library_search.h"
#include "platform/seam.h"
#include "platform/sound_output.h"

namespace tollwick::platform {
namespace {

using PlaySoundFunction = BOOL(WINAPI*)(LPCSTR, HMODULE, DWORD);

class Win32SoundOutput : public SoundOutput {
 public:
  ~Win32SoundOutput() override {
    if (playSound_ != nullptr) playSound_(nullptr, nullptr, 0);
  }

  bool play(WaveSound sound) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!loaded_) {
      loaded_ = true;
      if (const HMODULE winmm = win32::loadSystemLibrary(L"winmm.dll")) {
        playSound_ = reinterpret_cast<PlaySoundFunction>(
            reinterpret_cast<void*>(GetProcAddress(winmm, "PlaySoundA")));
      }
    }
    if (playSound_ == nullptr) return false;  // no sound on this system
    // The sound playing stops before its bytes are released.
    playSound_(nullptr, nullptr, 0);
    playing_ = std::move(sound.file);
    if (playing_.empty()) return false;
    return playSound_(reinterpret_cast<const char*>(playing_.data()), nullptr,
                      SND_MEMORY | SND_ASYNC | SND_NODEFAULT) != FALSE;
  }

 private:
  std::mutex mutex_;
  std::vector<uint8_t> playing_;
  // winmm stays loaded for the life of the process once a sound played.
  bool loaded_ = false;
  PlaySoundFunction playSound_ = nullptr;
};

}  // namespace

template <>
std::unique_ptr<SoundOutput> makeSystemFacility<SoundOutput>() {
  return std::make_unique<Win32SoundOutput>();
}

}  // namespace tollwick::platform
