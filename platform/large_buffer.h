#pragma once
// The byte buffers of whole files: large ones straight from the operating system, and
// sized without being zeroed first.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace tollwick::platform {

// Memory for large byte buffers straight from the operating system, returned to it
// whole when released (the allocator of the C++ library may keep a freed image's memory
// for the life of the process). allocateLargeBuffer throws std::bad_alloc on failure.
// Defined by the operating system's code (os/<system>/large_buffer.cpp).
inline constexpr size_t kLargeBufferThreshold = size_t{1} << 21;
void* allocateLargeBuffer(size_t bytes);
void releaseLargeBuffer(void* buffer, size_t bytes) noexcept;

// A byte buffer whose resize does not zero the new bytes first: a file's image is
// filled by a read right after it is sized, and zeroing it too would touch every page
// twice. Value-initialising operations (resize with a value, assign) still fill.
template <class T>
struct UninitializedAllocator : std::allocator<T> {
  using value_type = T;
  template <class U>
  struct rebind {
    using other = UninitializedAllocator<U>;
  };
  UninitializedAllocator() = default;
  template <class U>
  UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
  T* allocate(size_t n) {
    if (n >= kLargeBufferThreshold / sizeof(T)) {
      return static_cast<T*>(allocateLargeBuffer(n * sizeof(T)));
    }
    return std::allocator<T>::allocate(n);
  }
  void deallocate(T* p, size_t n) noexcept {
    if (n >= kLargeBufferThreshold / sizeof(T)) {
      releaseLargeBuffer(p, n * sizeof(T));
    } else {
      std::allocator<T>::deallocate(p, n);
    }
  }
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};
using ByteBuffer = std::vector<uint8_t, UninitializedAllocator<uint8_t>>;

}  // namespace tollwick::platform
