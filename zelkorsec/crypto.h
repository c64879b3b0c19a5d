#pragma once
// The cryptographic building blocks behind the algorithm of primitives.cpp, from the
// platform's provider: OpenSSL on Linux (crypto_openssl.cpp), the system's CNG on
// Windows (crypto_cng.cpp). The algorithm itself is written once, on top of these.
//
// None of them returns an error: a provider that fails ends the process (see fail).

#include <array>
#include <cstddef>
#include <cstdint>

#include "zelkorsec/key_table.h"

namespace zelkorsec::crypto {

using Block = std::array<uint8_t, 16>;
using Digest = std::array<uint8_t, 32>;

// The library has no error channel: a transform that cannot be done must not return as
// if it had been done, or plain data would be stored as protected. Writes `what` to
// standard error and aborts.
[[noreturn]] void fail(const char* what);

// SHA-256 of bytes[0..size).
Digest sha256(const uint8_t* bytes, size_t size);

// AES-128 encryption of each 16-byte block of in[0..size) into out (ECB; `size` is a
// multiple of 16; `in` may be `out`).
void encryptBlocks(const KeyMaterial& key, const uint8_t* in, uint8_t* out, size_t size);

// XORs bytes[0..size) with the AES-128-CTR keystream under `key` that starts at
// `counter`: AES(counter) || AES(counterAfter(counter, 1)) || ...
void xorCounterStream(const KeyMaterial& key, const Block& counter, uint8_t* bytes, size_t size);

// The counter block `blocks` blocks after `counter`: 128-bit big-endian addition.
inline Block counterAfter(const Block& counter, uint64_t blocks) {
  Block out{};
  unsigned carry = 0;
  for (int i = 15; i >= 0; --i) {
    const auto index = static_cast<size_t>(i);
    const unsigned add = i >= 8 ? static_cast<unsigned>((blocks >> (8 * (15 - i))) & 0xFF) : 0;
    const unsigned sum = counter[index] + add + carry;
    out[index] = static_cast<uint8_t>(sum);
    carry = sum >> 8;
  }
  return out;
}

// Overwrites key-dependent bytes in a way the compiler does not drop.
void cleanse(void* bytes, size_t size);

}  // namespace zelkorsec::crypto
