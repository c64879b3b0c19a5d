#include "platform/testing/fake_resources.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tollwick::testing {

FakeResourceModule::FakeResourceModule(std::map<uint32_t, std::string> strings, int* liveCount)
    : strings_(std::move(strings)), liveCount_(liveCount) {
  ++*liveCount_;
}

FakeResourceModule::~FakeResourceModule() { --*liveCount_; }

int32_t FakeResourceModule::loadString(uint32_t id, char* buffer, int32_t capacity) {
  if (capacity <= 0) return -1;
  buffer[0] = '\0';
  const auto it = strings_.find(id & 0xFFFFu);
  if (it == strings_.end()) return 0;
  const auto n = std::min<std::size_t>(it->second.size(), static_cast<std::size_t>(capacity) - 1);
  std::memcpy(buffer, it->second.data(), n);
  buffer[n] = '\0';
  return static_cast<int32_t>(n);
}

platform::Result<std::unique_ptr<platform::ResourceModule>> FakeResourceLoader::load(
    const std::string& path) {
  ++loads;
  const auto it = libraries.find(path);
  if (it == libraries.end()) return platform::Status(platform::Code::kNotFound, path);
  return std::unique_ptr<platform::ResourceModule>(
      std::make_unique<FakeResourceModule>(it->second, &live));
}

}  // namespace tollwick::testing
