// Large buffers on Windows: virtual memory reserved and committed for each.

#include <windows.h>

#include <new>

#include "platform/large_buffer.h"

namespace tollwick::platform {

void* allocateLargeBuffer(size_t bytes) {
  void* buffer = VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (buffer == nullptr) throw std::bad_alloc();
  return buffer;
}

void releaseLargeBuffer(void* buffer, size_t bytes) noexcept {
  (void)bytes;  // the whole reservation goes
  VirtualFree(buffer, 0, MEM_RELEASE);
}
}  // namespace tollwick::platform
