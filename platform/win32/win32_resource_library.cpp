// The resource-library facility on Windows, served by the project's PE reader through
// the file-system facility, as on Linux: it reads a library of either width in a
// process of either width (the system loader cannot map a 64-bit DLL into a 32-bit
// process for its resources), and the file is not kept open. The language is the
// user's interface language; wave sounds go to the sound facility
// (win32_sound_output.cpp).

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/resource_library.h"
#include "platform/seam.h"
#include "resources/pe/pe_image.h"
#include "resources/pe/pe_pictures.h"

namespace tollwick::platform {
namespace {

class PeResourceModule : public ResourceModule {
 public:
  explicit PeResourceModule(std::unique_ptr<pe::PeImage> image) : image_(std::move(image)) {}

  int32_t loadString(uint32_t id, char* buffer, int32_t capacity) override {
    return image_->loadString(id, buffer, capacity);
  }

  ResourceHandle findResource(const ResourceId& name, const ResourceId& type) override {
    const auto nameKey = keyOf(name);
    const auto typeKey = keyOf(type);
    if (!nameKey || !typeKey) return 0;
    return reinterpret_cast<ResourceHandle>(image_->find(*typeKey, *nameKey));
  }

  uint32_t sizeofResource(ResourceHandle resource) override {
    return resource == 0 ? 0 : toResource(resource).size;
  }

  const uint8_t* loadResource(ResourceHandle resource) override {
    if (resource == 0) return nullptr;
    return image_->bytesOf(toResource(resource)).data();
  }

  std::unique_ptr<Image> loadImage(uint16_t id, ImageKind kind) override {
    return pe::loadPicture(*image_, id, kind);
  }

  bool playSound(uint16_t id) override {
    const pe::Resource* wave =
        image_->find(pe::ResourceKey::fromName(u"WAVE"), pe::ResourceKey::fromId(id));
    if (wave == nullptr) return false;
    const auto bytes = image_->bytesOf(*wave);
    return use<SoundOutput>().play(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  }

 private:
  static std::optional<pe::ResourceKey> keyOf(const ResourceId& id) {
    if (!id.isText) return pe::ResourceKey::fromId(id.number);
    return pe::keyFromText(id.text);
  }
  // Handles are addresses of the reader's resource entries, handed out by findResource.
  static const pe::Resource& toResource(ResourceHandle resource) {
    return *reinterpret_cast<const pe::Resource*>(resource);
  }

  std::unique_ptr<pe::PeImage> image_;
};

class PeResourceLoader : public ResourceLoader {
 public:
  std::unique_ptr<ResourceModule> load(const std::string& path) override {
    if (path.empty()) return nullptr;
    ByteBuffer file;
    if (use<FileSystem>().readFile(path, file) != FsStatus::kOk) return nullptr;
    auto image = pe::PeImage::parse(std::move(file), GetUserDefaultUILanguage());
    if (!image) return nullptr;
    return std::make_unique<PeResourceModule>(std::move(image));
  }
};

}  // namespace

template <>
std::unique_ptr<ResourceLoader> makeSystemFacility<ResourceLoader>() {
  return std::make_unique<PeResourceLoader>();
}

}  // namespace tollwick::platform
