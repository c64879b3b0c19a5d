/* A security library that lacks ZelkorSecMangle: the loader's missing-export case. */
#include <stdint.h>

__attribute__((visibility("default"))) int32_t ZelkorSecVerify(const void* buffer,
                                                               int32_t length, int32_t seed) {
  (void)buffer;
  return length ^ seed;
}

__attribute__((visibility("default"))) int32_t ZelkorSecMakeKey(int32_t check) {
  return check | 1;
}

__attribute__((visibility("default"))) int32_t ZelkorSecFreeKey(int32_t key) {
  (void)key;
  return 1;
}
