#pragma once
// In-memory resource libraries for tests: a loader that hands out libraries made of a
// string table held in a map, and counts how many are alive.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/resource_library.h"
#include "platform/seam.h"
#include "platform/sound_output.h"

namespace tollwick::testing {

class FakeResourceModule : public platform::ResourceModule {
 public:
  FakeResourceModule(std::map<uint32_t, std::string> strings, int* liveCount);
  ~FakeResourceModule() override;
  int32_t loadString(uint32_t id, char* buffer, int32_t capacity) override;
  // A string-table-only library: it has no other resources.
  platform::ResourceHandle findResource(const platform::ResourceId&,
                                        const platform::ResourceId&) override {
    return 0;
  }
  uint32_t sizeofResource(platform::ResourceHandle) override { return 0; }
  const uint8_t* loadResource(platform::ResourceHandle) override { return nullptr; }
  std::unique_ptr<platform::PixelMap> loadPixelMap(uint16_t, platform::PixelMapKind) override {
    return nullptr;
  }
  bool playSound(uint16_t) override { return false; }

 private:
  std::map<uint32_t, std::string> strings_;
  int* liveCount_;
};

// Loads any path listed in `libraries`; every other path fails to load.
class FakeResourceLoader : public platform::ResourceLoader {
 public:
  std::map<std::string, std::map<uint32_t, std::string>> libraries;
  int loads = 0;
  int live = 0;  // libraries loaded and not yet released

  platform::Result<std::unique_ptr<platform::ResourceModule>> load(
      const std::string& path) override;
};

// A sound facility that plays nothing and keeps every wave file it was given.
class RecordingSoundOutput : public platform::SoundOutput {
 public:
  std::vector<std::vector<uint8_t>> played;
  bool answer = true;  // what play() returns

  bool play(platform::WaveSound sound) override {
    played.push_back(std::move(sound.file));
    return answer;
  }
};

}  // namespace tollwick::testing
