#pragma once
// A picture object as the resource library hands it out: what the platform's picture
// description holds (the picture type, the image, and for a bitmap its palette),
// decoded into an image of ours. Shared, as picture objects are reference-counted.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/resource_library.h"

namespace tollwick {

// Picture types of the platform's picture description.
enum class PictureType : int16_t { kBitmap = 1, kIcon = 3 };

// A logical palette (version 0x300): one entry per colour, flags 0.
struct Palette {
  uint16_t version = 0x300;
  std::vector<platform::PaletteEntry> entries;
};

class Picture {
 public:
  // The picture of `pixels`; null (an invalid picture) when they are missing or do not
  // match their size.
  static std::shared_ptr<Picture> create(PictureType type,
                                         std::unique_ptr<platform::PixelMap> pixels,
                                         std::optional<Palette> palette);

  PictureType type() const { return type_; }
  int32_t width() const { return pixels_->width; }
  int32_t height() const { return pixels_->height; }
  const platform::PixelMap& pixels() const { return *pixels_; }
  // A bitmap's palette; none for icons, cursors and bitmaps of more than 8 bits.
  const std::optional<Palette>& palette() const { return palette_; }

 private:
  Picture(PictureType type, std::unique_ptr<platform::PixelMap> pixels,
          std::optional<Palette> palette)
      : type_(type), pixels_(std::move(pixels)), palette_(std::move(palette)) {}

  PictureType type_;
  std::unique_ptr<platform::PixelMap> pixels_;
  std::optional<Palette> palette_;
};

}  // namespace tollwick
