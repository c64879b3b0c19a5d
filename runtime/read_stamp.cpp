#include "runtime/read_stamp.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "platform/replacement.h"
#include "platform/seam.h"

namespace tollwick {

ContentHash contentHash(std::span<const uint8_t> bytes) {
  const XXH128_hash_t hash = XXH3_128bits(bytes.data(), bytes.size());
  return ContentHash{hash.low64, hash.high64};
}

platform::Result<bool> holdsTheFileRead(const std::string& path, const ReadStamp& stamp,
                                        bool displaced) {
  auto& files = platform::use<platform::FileSystem>();
  if (stamp.identity.known) {
    const platform::Result<platform::FileIdentity> identified = files.identify(path);
    if (identified.status() == platform::Code::kNotFound) return false;
    if (!identified.ok()) return identified.status();
    return platform::sameFileAsRead(stamp.identity, *identified, displaced);
  }
  const platform::Result<platform::ByteBuffer> bytes = files.readFile(path, stamp.length);
  if (bytes.status() == platform::Code::kNotFound) return !stamp.existed;
  if (bytes.status() == platform::Code::kTooLarge) return false;
  if (!bytes.ok()) return bytes.status();
  if (!stamp.existed || bytes->size() != stamp.length) return false;
  return contentHash(*bytes) == stamp.hash;
}

}  // namespace tollwick
