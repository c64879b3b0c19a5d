#pragma once
// Reading a whole regular file into a byte buffer, the same on every system: the
// operating system's file layer supplies only the read call.

#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/file_system.h"

namespace tollwick::platform {

// Reads up to `capacity` bytes into `into`; `got` is 0 at the end of the file.
using ReadSome = std::function<FsStatus(uint8_t* into, size_t capacity, size_t& got)>;

// Fills `out` (replaced) with everything `read` gives until the end of the file, sized
// first for `expectedSize` (the size the file had when it was measured) and grown when
// the file turns out longer. A size this process cannot hold (beyond the address space
// of a 32-bit build) throws std::bad_alloc: a file is never read in part.
FsStatus readToEnd(uint64_t expectedSize, const ReadSome& read, ByteBuffer& out);

}  // namespace tollwick::platform
