#pragma once
// Reading a whole regular file into a byte buffer, the same on every system: the
// operating system's file layer supplies only the read call.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/file_system.h"
#include "platform/status.h"

namespace tollwick::platform {

// Reads up to `capacity` bytes into `into`: how many it read, 0 at the end of the file.
using ReadSome = std::function<Result<size_t>(uint8_t* into, size_t capacity)>;

// Everything `read` gives until the end of the file `path`, in a buffer sized first
// for `expectedSize` (the size the file had when it was measured) and grown when the
// file turns out longer. A file longer than `limit` is kTooLarge: refused before the
// first read when its measured size says so, otherwise as soon as a read passes the
// limit, so that a file whose size lies never takes more than `limit` bytes of memory.
// A size this process cannot hold (beyond the address space of a 32-bit build) throws
// std::bad_alloc: a file is never read in part.
Result<ByteBuffer> readToEnd(const std::string& path, uint64_t expectedSize, uint64_t limit,
                             const ReadSome& read);

}  // namespace tollwick::platform
