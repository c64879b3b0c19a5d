/* A security library that lacks ZelkorSecMangle: the loader's missing-export case. */
#define ZELKORSEC_BUILDING
#include "zelkorsec/zelkorsec.h"

ZELKORSEC_API int32_t ZELKORSEC_CALL ZelkorSecVerify(const void* buffer, int32_t length,
                                                     int32_t seed) {
  (void)buffer;
  return length ^ seed;
}

ZELKORSEC_API int32_t ZELKORSEC_CALL ZelkorSecMakeKey(int32_t check) { return check | 1; }

ZELKORSEC_API int32_t ZELKORSEC_CALL ZelkorSecFreeKey(int32_t key) {
  (void)key;
  return 1;
}
