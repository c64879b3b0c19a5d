#include "runtime/image_cache.h"

#include <memory>
#include <new>
#include <utility>

namespace tollwick {
namespace {

struct CachedImage {
  platform::FileIdentity identity;
  platform::ByteBuffer image;
  std::unique_ptr<ImageGuard> guard;
};

constexpr size_t kCachedImageMinimum = platform::kLargeBufferThreshold;

// Held by pointer: GCC 12 takes an optional's payload for uninitialized here.
std::unique_ptr<CachedImage>& cachedImage() {
  static std::unique_ptr<CachedImage> cached;
  return cached;
}

}  // namespace

bool takeCachedImage(platform::FileSystem& files, const std::string& path, OpenFile& file) {
  std::unique_ptr<CachedImage>& cached = cachedImage();
  if (!cached) return false;
  const platform::Result<platform::FileIdentity> now = files.identify(path);
  if (now.ok() && now->known && *now == cached->identity) {
    file.image = std::move(cached->image);
    file.guard = std::move(cached->guard);
    file.identity = *now;
    cached.reset();
    return true;
  }
  if (now.ok() && now->size >= kCachedImageMinimum) cached.reset();
  return false;
}

void keepImage(OpenFile& file) {
  if (!file.identity.known || file.image.size() < kCachedImageMinimum) return;
  std::unique_ptr<CachedImage>& cached = cachedImage();
  cached.reset();  // the old image is released before the new one is kept
  // Keeping it is only a saving: without memory for the holder it is not kept.
  cached.reset(new (std::nothrow)
                   CachedImage{file.identity, std::move(file.image), std::move(file.guard)});
}

void dropCachedImage() { cachedImage().reset(); }

}  // namespace tollwick
