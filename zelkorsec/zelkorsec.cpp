// The four exports of the library. Every one is noexcept towards its C caller.

#include "zelkorsec/zelkorsec.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "zelkorsec/key_table.h"
#include "zelkorsec/primitives.h"

namespace {

// Bytes a call covers: a negative length or a missing buffer covers none.
size_t coveredBytes(const void* buffer, int32_t length) {
  return (buffer == nullptr || length <= 0) ? 0 : static_cast<size_t>(length);
}

[[noreturn]] void outOfMemory() {
  std::fputs("ZELKORSEC: out of memory\n", stderr);
  std::abort();
}

}  // namespace

extern "C" {

ZELKORSEC_API int32_t ZELKORSEC_CALL ZelkorSecVerify(const void* buffer, int32_t length,
                                                     int32_t seed) {
  const size_t size = coveredBytes(buffer, length);
  return static_cast<int32_t>(
      zelkorsec::checkValue(size == 0 ? "" : buffer, size, static_cast<uint32_t>(seed)));
}

ZELKORSEC_API int32_t ZELKORSEC_CALL ZelkorSecMangle(void* buffer, int32_t length, int32_t seed,
                                                     int32_t key) {
  try {
    const auto material = zelkorsec::keyTable().find(key);
    if (!material) return 0;
    return zelkorsec::transform(*material, static_cast<uint8_t*>(buffer),
                                coveredBytes(buffer, length), seed, length);
  } catch (const std::bad_alloc&) {
    outOfMemory();
  }
}

ZELKORSEC_API int32_t ZELKORSEC_CALL ZelkorSecMakeKey(int32_t check) {
  try {
    return zelkorsec::keyTable().add(zelkorsec::deriveKey(check));
  } catch (const std::bad_alloc&) {
    outOfMemory();
  }
}

ZELKORSEC_API int32_t ZELKORSEC_CALL ZelkorSecFreeKey(int32_t key) {
  return zelkorsec::keyTable().remove(key) ? 1 : 0;
}

}  // extern "C"
