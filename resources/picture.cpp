#include "resources/picture.h"

namespace tollwick {

std::shared_ptr<Picture> Picture::create(PictureType type,
                                         std::unique_ptr<platform::PixelMap> pixels,
                                         std::optional<Palette> palette) {
  if (!pixels || !pixels->consistent()) return nullptr;
  return std::shared_ptr<Picture>(new Picture(type, std::move(pixels), std::move(palette)));
}

}  // namespace tollwick
