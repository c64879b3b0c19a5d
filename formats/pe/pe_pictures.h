#pragma once
// Bitmaps, icons and cursors of a PE file, found and decoded as the platform's image
// loaders do: a bitmap by its id; an icon or cursor through its group, whose entry
// closest to the standard size (32 x 32) and then deepest in colour is taken.

#include <cstdint>
#include <memory>

#include "formats/pe/pe_file.h"
#include "platform/resource_library.h"

namespace tollwick::pe {

inline constexpr int kStandardIconSize = 32;

// Null when the resource is absent, or none of its images can be decoded.
std::unique_ptr<platform::PixelMap> loadPicture(const PeFile& image, uint16_t id,
                                                platform::PixelMapKind kind);

}  // namespace tollwick::pe
