#pragma once
// The resource-library facility: loading a resource-only library file by path and
// reading its resources, as the platform's library and resource functions do
// (LoadLibraryA, LoadStringA, FindResourceA, SizeofResource, LoadResource and
// LockResource, LoadImageA, LoadIconA, LoadCursorA, PlaySoundA). Pictures come back
// decoded into a PixelMap of ours; the sound facility (platform/sound_output.h) plays wave
// sounds.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/resource_id.h"
#include "platform/status.h"

namespace tollwick::platform {

// A found resource; 0 means none. Valid while its library is loaded.
using ResourceHandle = uintptr_t;

// What LoadImageA (bitmap, as a DIB section), LoadIconA and LoadCursorA load.
enum class PixelMapKind { kBitmap = 0, kIcon = 1, kCursor = 2 };

struct PaletteEntry {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  uint8_t flags = 0;
  bool operator==(const PaletteEntry&) const = default;
};

// A decoded raster image. Rows run top to bottom. An indexed image (a bitmap of 8 bits
// per pixel or fewer) has one colour-table index per pixel; any other has four bytes
// per pixel: blue, green, red, alpha.
struct PixelMap {
  PixelMapKind kind = PixelMapKind::kBitmap;
  int32_t width = 0;
  int32_t height = 0;
  uint16_t bitsPerPixel = 0;  // of the stored image it was decoded from
  bool indexed = false;
  std::vector<uint8_t> pixels;
  std::vector<PaletteEntry> colorTable;  // indexed images only
  int32_t hotspotX = 0;                  // cursors only
  int32_t hotspotY = 0;

  // True when the pixel buffer matches the size and format.
  bool consistent() const {
    if (width <= 0 || height <= 0) return false;
    const auto count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    return pixels.size() == (indexed ? count : count * 4);
  }
};

// One loaded library. Released when destroyed.
class ResourceModule {
 public:
  virtual ~ResourceModule() = default;

  // As the platform's string loader: copies string `id` (the high 16 bits ignored) in
  // the system's code page into `buffer`, at most `capacity` - 1 bytes (never half a
  // double-byte character) followed by a NUL, and
  // returns the number of bytes copied; 0 (buffer[0] = NUL) for a missing or empty
  // entry; -1 for a capacity of 0 or less (buffer untouched).
  virtual int32_t loadString(uint32_t id, char* buffer, int32_t capacity) = 0;

  // FindResourceA(module, name, type): the resource in the language picked for the
  // neutral language; 0 when there is none.
  virtual ResourceHandle findResource(const ResourceId& name, const ResourceId& type) = 0;

  // SizeofResource: the size in bytes; 0 for the handle 0.
  virtual uint32_t sizeofResource(ResourceHandle resource) = 0;

  // LoadResource and LockResource: the resource's bytes, valid while the library is
  // loaded; null when they cannot be had (and for a size of 0 the address may be null).
  virtual const uint8_t* loadResource(ResourceHandle resource) = 0;

  // LoadImageA(module, id, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION), LoadIconA and
  // LoadCursorA: the decoded image; null when the resource is absent or unreadable.
  virtual std::unique_ptr<PixelMap> loadPixelMap(uint16_t id, PixelMapKind kind) = 0;

  // PlaySoundA(id, module, SND_RESOURCE | SND_ASYNC): starts the "WAVE" resource `id`
  // and returns at once; false when it is absent, unplayable, or no audio device opens.
  virtual bool playSound(uint16_t id) = 0;
};

class ResourceLoader {
 public:
  virtual ~ResourceLoader() = default;

  // Loads the library at `path` (a program path). A failure when it cannot be loaded:
  // the file system's when the file cannot be read (Code::kNotFound, ...), Code::kDamaged
  // when it is not a resource library, Code::kInvalidArgument for an empty path.
  virtual Result<std::unique_ptr<ResourceModule>> load(const std::string& path) = 0;
};

// The user's interface language (a Windows language id: primary language | sub-language
// << 10), which picks among a library's resource languages as the resource functions
// pick: on Windows the user's own, on Linux the one the locale settings name. Defined by
// the operating system's code.
uint16_t userInterfaceLanguage();

}  // namespace tollwick::platform
