// Large buffers on POSIX systems: anonymous mappings of their own.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <new>

#include "platform/large_buffer.h"

namespace tollwick::platform {

void* allocateLargeBuffer(size_t bytes) {
  // Straight from the kernel, and given back to it whole at release. It starts on a
  // huge-page boundary, so that the kernel can serve it with huge pages where it grants
  // them (the fill decides where to ask for them: large_fill.cpp); a hint, not a demand.
  constexpr size_t kAlignment = size_t{2} << 20;
  if (bytes > SIZE_MAX - kAlignment) throw std::bad_alloc();
  void* mapped = ::mmap(nullptr, bytes + kAlignment, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  // The slack before the boundary and after the end goes back at once.
  const auto start = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t aligned = (start + kAlignment - 1) / kAlignment * kAlignment;
  const long page = ::sysconf(_SC_PAGESIZE);
  const uintptr_t end = (aligned + bytes + static_cast<uintptr_t>(page) - 1) /
                        static_cast<uintptr_t>(page) * static_cast<uintptr_t>(page);
  if (aligned > start) ::munmap(mapped, aligned - start);
  if (start + bytes + kAlignment > end)
    ::munmap(reinterpret_cast<void*>(end), start + bytes + kAlignment - end);
  return reinterpret_cast<void*>(aligned);
}

void releaseLargeBuffer(void* buffer, size_t bytes) noexcept { ::munmap(buffer, bytes); }

}  // namespace tollwick::platform
