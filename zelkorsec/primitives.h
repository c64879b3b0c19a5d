#pragma once
// The three primitives behind the exports (the algorithm is documented in zelkorsec.h):
// the seeded check value, the key schedule and the keyed in-place transform.

#include <cstddef>
#include <cstdint>

#include "zelkorsec/key_table.h"

namespace zelkorsec {

// Low 32 bits of XXH3-64 of bytes[0..size) with the seed zero-extended to 64 bits.
uint32_t checkValue(const void* bytes, size_t size, uint32_t seed);

// First 16 bytes of SHA-256("ZELKORSEC key" || LE32(check)).
KeyMaterial deriveKey(int32_t check);

// XORs bytes[0..size) with the AES-128-CTR keystream of (key, seed, length) and returns
// the chain value of (key, seed, length). `length` is the caller's length argument.
int32_t transform(const KeyMaterial& key, uint8_t* bytes, size_t size, int32_t seed,
                  int32_t length);

}  // namespace zelkorsec
