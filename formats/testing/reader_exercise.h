#pragma once
// Reads everything the resource reader can serve out of one file's bytes: its strings,
// every resource's bytes, every picture and wave sound. Used by the fuzzer and by the
// tests that replay the inputs the fuzzer once found failing.

#include <cstdint>
#include <span>
#include <vector>

#include "formats/pe/dib.h"
#include "formats/pe/pe_file.h"
#include "formats/pe/pe_pictures.h"
#include "formats/pe/wave.h"

namespace tollwick::pe {

// Returns a sum of what was read, so that nothing is optimised away.
inline uint64_t exerciseReader(std::span<const uint8_t> bytes) {
  auto image = PeFile::parse(bytes);
  if (!image.ok()) return 0;
  uint64_t sum = 0;
  char buffer[300];
  for (uint32_t id : {0u, 1u, 2u, 16u, 253u, 3257u, 0xFFFFu}) {
    sum += static_cast<uint64_t>(image->loadString(id, buffer, sizeof buffer) + 1);
    sum += image->loadString(id, buffer, 3) > 0 ? static_cast<uint8_t>(buffer[0]) : 0;
  }
  for (const Resource& r : image->resources()) {
    const auto data = image->bytesOf(r);
    if (!data.empty()) sum += data.front() + data.back();
    if (r.name.isName) continue;
    if (r.type == ResourceId::fromId(rt::kBitmap)) {
      if (auto p = loadPicture(*image, r.name.id, platform::PixelMapKind::kBitmap))
        sum += p->pixels.size();
    } else if (r.type == ResourceId::fromId(rt::kGroupIcon)) {
      if (auto p = loadPicture(*image, r.name.id, platform::PixelMapKind::kIcon))
        sum += p->pixels.size();
    } else if (r.type == ResourceId::fromId(rt::kGroupCursor)) {
      if (auto p = loadPicture(*image, r.name.id, platform::PixelMapKind::kCursor))
        sum += p->pixels.size();
    } else if (r.type == ResourceId::fromName(u"WAVE")) {
      if (auto w = parseWave(data); w.ok()) sum += w->size;
    }
    if (auto p = decodeBitmap(data); p.ok()) sum += p->pixels.size();  // any bytes as a bitmap
  }
  return sum;
}

}  // namespace tollwick::pe
