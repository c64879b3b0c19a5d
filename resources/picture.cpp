#include "resources/picture.h"

namespace tollwick {

std::shared_ptr<Picture> Picture::create(PictureType type, std::unique_ptr<platform::Image> image,
                                         std::optional<Palette> palette) {
  if (!image || !image->consistent()) return nullptr;
  return std::shared_ptr<Picture>(new Picture(type, std::move(image), std::move(palette)));
}

}  // namespace tollwick
