#include "platform/read_whole.h"

#include <algorithm>
#include <limits>
#include <new>

namespace tollwick::platform {

Result<ByteBuffer> readToEnd(const std::string& path, uint64_t expectedSize, uint64_t limit,
                             const ReadSome& read) {
  if (expectedSize > limit) return Status(Code::kTooLarge, path);
  ByteBuffer out;
  if (expectedSize > std::numeric_limits<size_t>::max() || expectedSize > out.max_size()) {
    throw std::bad_alloc();
  }
  out.resize(static_cast<size_t>(expectedSize));
  size_t filled = 0;
  for (;;) {
    if (filled == out.size()) {
      // The file may have grown since it was measured: look for more.
      uint8_t probe = 0;
      const Result<size_t> more = read(&probe, 1);
      if (!more.ok()) return more.status();
      if (*more == 0) break;
      if (filled >= limit) return Status(Code::kTooLarge, path);
      out.push_back(probe);
      filled = out.size();
      // Grown by half again (64 KiB at least), so that a file of unknown size costs few
      // reads and copies, but never past the limit.
      const uint64_t size = out.size();
      const uint64_t grown = std::min<uint64_t>(size + std::max<uint64_t>(65536, size / 2), limit);
      out.resize(static_cast<size_t>(std::max<uint64_t>(grown, out.size())));
      continue;
    }
    const Result<size_t> got = read(out.data() + filled, out.size() - filled);
    if (!got.ok()) return got.status();
    if (*got == 0) break;
    filled += *got;
  }
  out.resize(filled);
  return out;
}

}  // namespace tollwick::platform
