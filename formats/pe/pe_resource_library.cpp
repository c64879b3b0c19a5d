// Resource libraries served by the PE reader: library files are read whole into memory
// through the file-system facility and their resources found as the platform's resource
// functions find them. The file is not kept open, so a released library can be deleted
// or replaced at once.

#include "formats/pe/pe_resource_library.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "formats/pe/pe_file.h"
#include "formats/pe/pe_pictures.h"
#include "formats/pe/wave.h"

namespace tollwick::platform {
namespace {

class PeResourceModule : public ResourceModule {
 public:
  PeResourceModule(std::unique_ptr<pe::PeFile> image, std::function<SoundOutput&()> sound)
      : image_(std::move(image)), sound_(std::move(sound)) {}

  int32_t loadString(uint32_t id, char* buffer, int32_t capacity) override {
    return image_->loadString(id, buffer, capacity);
  }

  ResourceHandle findResource(const ResourceId& name, const ResourceId& type) override {
    return reinterpret_cast<ResourceHandle>(image_->find(type, name));
  }

  uint32_t sizeofResource(ResourceHandle resource) override {
    return resource == 0 ? 0 : toResource(resource).size;
  }

  const uint8_t* loadResource(ResourceHandle resource) override {
    if (resource == 0) return nullptr;
    return image_->bytesOf(toResource(resource)).data();
  }

  std::unique_ptr<PixelMap> loadPixelMap(uint16_t id, PixelMapKind kind) override {
    return pe::loadPicture(*image_, id, kind);
  }

  bool playSound(uint16_t id) override {
    const pe::Resource* wave =
        image_->find(platform::ResourceId::fromName(u"WAVE"), platform::ResourceId::fromId(id));
    if (wave == nullptr) return false;
    const auto bytes = image_->bytesOf(*wave);
    WaveSound sound{std::vector<uint8_t>(bytes.begin(), bytes.end()), std::nullopt};
    if (Result<WaveSamples> samples = pe::parseWave(sound.file); samples.ok()) {
      sound.samples = *samples;
    }
    return sound_().play(std::move(sound));
  }

 private:
  // Handles are addresses of the reader's resource entries, handed out by findResource.
  static const pe::Resource& toResource(ResourceHandle resource) {
    return *reinterpret_cast<const pe::Resource*>(resource);
  }

  std::unique_ptr<pe::PeFile> image_;
  std::function<SoundOutput&()> sound_;
};

class PeResourceLoader : public ResourceLoader {
 public:
  PeResourceLoader(FileSystem& files, std::function<SoundOutput&()> sound,
                   std::function<uint16_t()> language)
      : files_(files), sound_(std::move(sound)), language_(std::move(language)) {}

  Result<std::unique_ptr<ResourceModule>> load(const std::string& path) override {
    if (path.empty()) return Status(Code::kInvalidArgument, "no library named");
    // Read through the file-system facility, which maps the program path (drive
    // letters, backslashes, case) to the host's file.
    Result<ByteBuffer> file = files_.readFile(path, kLargestResourceLibrary);
    if (!file.ok()) return file.status();
    auto image = pe::PeFile::parse(std::move(file).value(), language_());
    if (!image.ok()) return image.status();
    return std::unique_ptr<ResourceModule>(std::make_unique<PeResourceModule>(
        std::make_unique<pe::PeFile>(std::move(image).value()), sound_));
  }

 private:
  FileSystem& files_;
  std::function<SoundOutput&()> sound_;
  std::function<uint16_t()> language_;
};

}  // namespace

std::unique_ptr<ResourceLoader> makePeResourceLoader(FileSystem& files,
                                                     std::function<SoundOutput&()> sound,
                                                     std::function<uint16_t()> language) {
  return std::make_unique<PeResourceLoader>(files, std::move(sound), std::move(language));
}

}  // namespace tollwick::platform
