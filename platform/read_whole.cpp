#include "platform/read_whole.h"

#include <limits>
#include <new>

namespace tollwick::platform {

FsStatus readToEnd(uint64_t expectedSize, const ReadSome& read, ByteBuffer& out) {
  if (expectedSize > std::numeric_limits<size_t>::max() || expectedSize > out.max_size()) {
    throw std::bad_alloc();
  }
  out.clear();
  out.resize(static_cast<size_t>(expectedSize));
  size_t filled = 0;
  for (;;) {
    if (filled == out.size()) {
      // The file may have grown since it was measured: look for more.
      uint8_t probe = 0;
      size_t more = 0;
      if (const FsStatus status = read(&probe, 1, more); status != FsStatus::kOk) return status;
      if (more == 0) break;
      out.push_back(probe);
      filled = out.size();
      out.resize(out.size() + 65536);
      continue;
    }
    size_t got = 0;
    if (const FsStatus status = read(out.data() + filled, out.size() - filled, got);
        status != FsStatus::kOk) {
      return status;
    }
    if (got == 0) break;
    filled += got;
  }
  out.resize(filled);
  return FsStatus::kOk;
}

}  // namespace tollwick::platform
