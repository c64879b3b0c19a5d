#pragma once
// What the disk held when a file was read, to tell later whether the file there is still
// that one: a save another program made meanwhile must never be lost under a write.

#include <cstdint>
#include <span>
#include <string>

#include "platform/file_system.h"
#include "platform/status.h"

namespace tollwick {

// A 128-bit hash of bytes: what a stamp keeps of the bytes read, and what tells whether
// an open file's image changed.
struct ContentHash {
  uint64_t low = 0;
  uint64_t high = 0;
  bool operator==(const ContentHash&) const = default;
};
ContentHash contentHash(std::span<const uint8_t> bytes);

// What the disk held when an open file was read, to tell later whether the file there
// is still that one: its identity when the file system vouches for one, otherwise the
// length and a hash of the bytes read.
struct ReadStamp {
  bool existed = false;
  platform::FileIdentity identity;
  uint64_t length = 0;
  ContentHash hash;
};

// Whether `path` still holds the file `stamp` describes (for a file that did not exist:
// whether there is still none), as a replacement asks it (platform/replacement.h): by
// its identity where the stamp has one (without its change time when `displaced`),
// otherwise by the hash of its bytes.
platform::Result<bool> holdsTheFileRead(const std::string& path, const ReadStamp& stamp,
                                        bool displaced);

}  // namespace tollwick
