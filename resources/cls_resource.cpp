#include "resources/cls_resource.h"

#include <algorithm>
#include <cstring>

#include "base/bytes.h"
#include "platform/seam.h"
#include "runtime/binary_file.h"
#include "runtime/file_commands.h"
#include "runtime/run_time_error.h"

namespace tollwick {

namespace {
constexpr int32_t kErrorLoadingDll = 48;
constexpr int32_t kResourceNotFound = 326;
constexpr int32_t kErrorLoadingFromFile = 31037;
constexpr int32_t kInvalidPicture = 481;
constexpr std::size_t kPaletteColours = 256;

std::string notFound(const char* what, int32_t index) {
  return std::string(what) + " with identifier " + std::to_string(index) + " not found.";
}

// Resource ids are 16-bit; anything outside that range names no resource.
bool isResourceId(int32_t index) { return index >= 0 && index <= 0xFFFF; }

// Bytes past the resource read as zero (readLe16 and readLe32 do the same).
uint8_t readU8(std::span<const uint8_t> b, std::size_t at) { return at < b.size() ? b[at] : 0; }

}  // namespace

clsResource::clsResource() = default;
clsResource::~clsResource() = default;

void clsResource::DllName(const std::string& path) {
  resetError();
  module_.reset();  // the old library is released before the new one is loaded
  auto loaded = platform::use<platform::ResourceLoader>().load(path);
  if (!loaded.ok()) {
    recordError(kErrorLoadingDll, "Error in loading DLL: " + path);
    dllName_.clear();
    return;
  }
  module_ = std::move(loaded).value();
  dllName_ = path;
}

std::string clsResource::LoadDllString(int32_t index, int32_t length) {
  resetError();
  // A negative length would mean "unlimited" to the loader; no entry is longer than
  // 65535 characters, so larger lengths are cut to that without changing any result.
  length = std::clamp(length, int32_t{0}, int32_t{65535});
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
  int32_t n = 0;
  if (module_) {
    n = module_->loadString(static_cast<uint32_t>(index), buffer.data(), length + 1);
    if (n < 0) n = 0;
  }
  if (n == 0) {
    recordError(kResourceNotFound, notFound("String resource", index));
    return {};
  }
  return std::string(buffer.data(), static_cast<std::size_t>(n));
}

std::vector<uint8_t> clsResource::LoadDllData(int32_t index, const std::string& resformat) {
  resetError();
  platform::ResourceHandle resource = 0;
  // A type text the resource functions cannot read ("#70000") finds nothing.
  const std::optional<platform::ResourceId> type = platform::resourceIdFromText(resformat);
  if (module_ && isResourceId(index) && type) {
    resource =
        module_->findResource(platform::ResourceId::fromId(static_cast<uint16_t>(index)), *type);
  }
  if (resource == 0) {
    recordError(kResourceNotFound, notFound("Custom resource", index));
    return {};
  }
  const uint32_t size = module_->sizeofResource(resource);
  if (size == 0) return {};
  const uint8_t* data = module_->loadResource(resource);
  if (data == nullptr) {
    recordError(kErrorLoadingFromFile, "Error loading from file");
    return {};
  }
  return std::vector<uint8_t>(data, data + size);
}

std::string clsResource::LoadDllText(int16_t index, const std::string& resformat) {
  const std::vector<uint8_t> bytes = LoadDllData(index, resformat);
  return std::string(bytes.begin(), bytes.end());
}

int32_t clsResource::SaveDllData(int16_t index, const std::string& path,
                                 const std::string& resformat, bool overwrite) {
  int16_t file = 0;
  try {
    if (PathExists(path)) {
      if (!overwrite) raiseError(err::kFileAlreadyExists, "File already exists");
      deleteFilesMatching(path);
    }
    const std::vector<uint8_t> bytes = LoadDllData(index, resformat);
    if (ArrayIsEmpty(bytes)) raiseError(kResourceNotFound, notFound("Resource", index));
    file = freeFile();
    openBinary(file, path);
    writeBytes(file, 1, bytes);
    closeFile(file);
    return 0;
  } catch (const RunTimeError& e) {
    // A file left open by a failed write is closed, so its number is not lost.
    if (file != 0 && isOpen(file)) {
      try {
        closeFile(file);
      } catch (const RunTimeError&) {
      }
    }
    recordError(e.number(), e.description());
    return e.number();
  }
}

std::shared_ptr<Picture> clsResource::LoadDllPicture(int32_t index, int32_t resformat) {
  resetError();
  std::unique_ptr<platform::PixelMap> image;
  PictureType type = PictureType::kBitmap;
  std::optional<Palette> palette;
  const bool known = module_ && isResourceId(index);
  const auto id = static_cast<uint16_t>(index);
  switch (resformat) {
    case kPictureBitmap:
      if (known) image = module_->loadPixelMap(id, platform::PixelMapKind::kBitmap);
      type = PictureType::kBitmap;
      try {
        palette = CreateBitmapPalette(index);
      } catch (const RunTimeError& e) {
        recordError(e.number(), e.description());  // the bitmap comes without a palette
      }
      break;
    case kPictureIcon:
      if (known) image = module_->loadPixelMap(id, platform::PixelMapKind::kIcon);
      type = PictureType::kIcon;
      break;
    case kPictureCursor:
      if (known) image = module_->loadPixelMap(id, platform::PixelMapKind::kCursor);
      type = PictureType::kIcon;
      break;
    default:
      break;
  }
  if (!image) {
    recordError(kResourceNotFound, notFound("Picture resource", index));
    return nullptr;
  }
  auto picture = Picture::create(type, std::move(image), std::move(palette));
  if (!picture) recordError(kInvalidPicture, "Invalid Picture");
  return picture;
}

std::shared_ptr<Picture> clsResource::LoadDllIcon(int32_t index) {
  return LoadDllPicture(index, kPictureIcon);
}

std::shared_ptr<Picture> clsResource::LoadDllCursor(int32_t index) {
  return LoadDllPicture(index, kPictureCursor);
}

std::shared_ptr<Picture> clsResource::LoadDllBitmap(int32_t index) {
  return LoadDllPicture(index, kPictureBitmap);
}

bool clsResource::PlayWave(int32_t index) {
  if (!module_ || !isResourceId(index)) return false;
  return module_->playSound(static_cast<uint16_t>(index));
}

bool clsResource::PathExists(const std::string& path) {
  try {
    return pathMatchesAnything(path);
  } catch (const RunTimeError&) {
    return false;  // a search that cannot be made finds nothing
  }
}

std::optional<Palette> clsResource::CreateBitmapPalette(int32_t index) {
  if (!module_ || !isResourceId(index)) return std::nullopt;
  const platform::ResourceHandle resource = module_->findResource(
      platform::ResourceId::fromId(static_cast<uint16_t>(index)), platform::ResourceId::fromId(2));
  if (resource == 0) return std::nullopt;
  const uint32_t size = module_->sizeofResource(resource);
  const uint8_t* data = module_->loadResource(resource);
  if (data == nullptr) return std::nullopt;
  const std::span<const uint8_t> dib(data, size);
  // The colour table follows the header, whatever the header's size; an old-style
  // 12-byte header keeps its bit count at 10 and its colours as three-byte entries.
  const uint32_t headerSize = readLe32(dib, 0);
  const bool core = headerSize == 12;
  const uint16_t bitCount = core ? readLe16(dib, 10) : readLe16(dib, 14);
  if (bitCount != 8) return std::nullopt;
  const uint32_t used = core ? 0 : readLe32(dib, 32);
  const uint64_t colours = used == 0 ? kPaletteColours : used;
  if (colours > kPaletteColours) raiseError(err::kSubscriptOutOfRange);
  const std::size_t tableAt = core ? 12 : std::max<uint32_t>(headerSize, 40);
  const std::size_t entrySize = core ? 3 : 4;
  Palette palette;
  for (std::size_t i = 0; i < colours; ++i) {
    const std::size_t at = tableAt + i * entrySize;
    palette.entries.push_back(
        platform::PaletteEntry{readU8(dib, at + 2), readU8(dib, at + 1), readU8(dib, at), 0});
  }
  return palette;
}

clsResource& gResource() {
  static clsResource instance;
  return instance;
}

}  // namespace tollwick
