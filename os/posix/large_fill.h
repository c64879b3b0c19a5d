#pragma once
// Filling a large buffer from a regular file as fast as this machine allows: from
// several threads, each reading its own pieces, and on huge pages wherever the kernel
// hands them out without compacting memory on the spot.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/file_system.h"

namespace tollwick::platform::posix {

// The smallest read filled this way; smaller ones are read in one call.
inline constexpr size_t kLargeFillMinimum = size_t{4} << 20;

// How many free blocks of `order` pages or more /proc/buddyinfo's text counts (in
// blocks of that order), over the zones a process's memory comes from.
uint64_t freeBlocksFrom(const std::string& buddyinfo, unsigned order);

// Reads `capacity` bytes of the file `fd` from `position` into `into` (the start of a
// buffer from allocateLargeBuffer, or a part of one) with pread. `got` is how many bytes
// from the start were filled: fewer than `capacity` when the file ended first. The first
// error ends the fill with its errno.
int fillFromFile(int fd, uint8_t* into, size_t capacity, uint64_t position, size_t& got);

}  // namespace tollwick::platform::posix
