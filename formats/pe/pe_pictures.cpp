#include "formats/pe/pe_pictures.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "base/bytes.h"
#include "formats/pe/dib.h"

namespace tollwick::pe {
namespace {

using platform::PixelMap;
using platform::PixelMapKind;

struct GroupEntry {
  int width;
  int height;
  int bitCount;
  uint16_t imageId;
};

// The entries of an icon group (14-byte entries: byte sizes) or cursor group (u16
// sizes, and a height that some compilers double).
std::vector<GroupEntry> readGroup(std::span<const uint8_t> b, bool cursor) {
  std::vector<GroupEntry> entries;
  if (b.size() < 6) return entries;
  const uint16_t count = readLe16(b, 4);
  for (uint32_t i = 0; i < count; ++i) {
    const std::size_t at = 6 + std::size_t{i} * 14;
    if (at + 14 > b.size()) break;
    GroupEntry e{};
    if (cursor) {
      e.width = readLe16(b, at);
      e.height = readLe16(b, at + 2);
      if (e.height == 2 * e.width) e.height = e.width;
    } else {
      e.width = b[at] == 0 ? 256 : b[at];
      e.height = b[at + 1] == 0 ? 256 : b[at + 1];
    }
    e.bitCount = readLe16(b, at + 6);
    e.imageId = readLe16(b, at + 12);
    entries.push_back(e);
  }
  return entries;
}

// Entries in the order they are tried: nearest to the standard size, then deepest.
std::vector<GroupEntry> byPreference(std::vector<GroupEntry> entries) {
  auto distance = [](const GroupEntry& e) {
    return std::abs(e.width - kStandardIconSize) + std::abs(e.height - kStandardIconSize);
  };
  std::stable_sort(entries.begin(), entries.end(), [&](const GroupEntry& a, const GroupEntry& b) {
    if (distance(a) != distance(b)) return distance(a) < distance(b);
    return a.bitCount > b.bitCount;
  });
  return entries;
}

}  // namespace

std::unique_ptr<PixelMap> loadPicture(const PeFile& image, uint16_t id, PixelMapKind kind) {
  if (kind == PixelMapKind::kBitmap) {
    const Resource* r = image.find(ResourceId::fromId(rt::kBitmap), ResourceId::fromId(id));
    if (r == nullptr) return nullptr;
    auto bitmap = decodeBitmap(image.bytesOf(*r));
    return bitmap.ok() ? std::make_unique<PixelMap>(std::move(bitmap).value()) : nullptr;
  }
  const bool cursor = kind == PixelMapKind::kCursor;
  const Resource* group = image.find(ResourceId::fromId(cursor ? rt::kGroupCursor : rt::kGroupIcon),
                                     ResourceId::fromId(id));
  if (group == nullptr) return nullptr;
  for (const GroupEntry& e : byPreference(readGroup(image.bytesOf(*group), cursor))) {
    const Resource* r = image.find(ResourceId::fromId(cursor ? rt::kCursor : rt::kIcon),
                                   ResourceId::fromId(e.imageId));
    if (r == nullptr) continue;
    std::span<const uint8_t> bytes = image.bytesOf(*r);
    int32_t hotspotX = 0;
    int32_t hotspotY = 0;
    if (cursor) {
      if (bytes.size() < 4) continue;
      hotspotX = readLe16(bytes, 0);
      hotspotY = readLe16(bytes, 2);
      bytes = bytes.subspan(4);
    }
    auto picture = decodeIcon(bytes, kind);
    if (!picture.ok()) continue;
    picture->hotspotX = hotspotX;
    picture->hotspotY = hotspotY;
    return std::make_unique<PixelMap>(std::move(picture).value());
  }
  return nullptr;
}

}  // namespace tollwick::pe
