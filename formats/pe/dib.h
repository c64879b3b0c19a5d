#pragma once
// Decoding of device-independent bitmaps as a resource library stores them: bitmap
// resources (a .bmp without its file header) and the images of icons and cursors (a
// bitmap of twice the height holding the colour image and a 1-bit transparency mask).
// Every size and offset is checked against the bytes given; damaged data gives
// Code::kDamaged.

#include <cstdint>
#include <span>

#include "platform/resource_library.h"
#include "platform/status.h"

namespace tollwick::pe {

// Largest image decoded, in pixels: the limit keeps a damaged header from asking for
// gigabytes (compressed bitmaps can claim any size).
inline constexpr uint64_t kMaxImagePixels = uint64_t{1} << 26;

// A bitmap resource: header of 12 (core), 40 or more bytes; 1, 4, 8, 16, 24 or 32 bits
// per pixel; uncompressed, bit fields, or run-length encoded (8 and 4 bits). Images of
// 8 bits or fewer come back indexed with their colour table; others as blue, green,
// red, alpha (alpha 255 where the bitmap stores none).
platform::Result<platform::PixelMap> decodeBitmap(std::span<const uint8_t> dib);

// An icon or cursor image (RT_ICON, or RT_CURSOR after its 4 hotspot bytes): always
// blue, green, red, alpha, transparent where the mask says so (or, at 32 bits, where
// the stored alpha says so). Images stored as PNG are not decoded (Code::kDamaged too).
platform::Result<platform::PixelMap> decodeIcon(std::span<const uint8_t> dib,
                                                platform::PixelMapKind kind);

}  // namespace tollwick::pe
