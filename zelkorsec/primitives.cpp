#include "zelkorsec/primitives.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <xxhash.h>
#ifdef ZELKORSEC_XXH_DISPATCH
#define XXH_DISPATCH_DISABLE_REPLACE
#include <xxh_x86dispatch.h>
#endif

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <memory>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace zelkorsec {
namespace {

using Block = std::array<uint8_t, 16>;

// The library has no error channel: a transform that cannot be done must not return as
// if it had been done, or plain data would be stored as protected.
[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "ZELKORSEC: %s\n", what);
  std::abort();
}

void putLe32(uint8_t* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t getLe32(const uint8_t* in) {
  return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
         static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
}

// The ciphers are fetched once per process: an implicit fetch per call would cost a
// provider look-up on every header field.
const EVP_CIPHER* cipher(const char* name) {
  EVP_CIPHER* fetched = EVP_CIPHER_fetch(nullptr, name, nullptr);
  if (fetched == nullptr) fail("AES-128 is not available");
  return fetched;
}

const EVP_CIPHER* aesEcb() {
  static const EVP_CIPHER* const ecb = cipher("AES-128-ECB");
  return ecb;
}

const EVP_CIPHER* aesCtr() {
  static const EVP_CIPHER* const ctr = cipher("AES-128-CTR");
  return ctr;
}

struct ContextFree {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using Context = std::unique_ptr<EVP_CIPHER_CTX, ContextFree>;

// Runs `cipher` under `key` (and `iv` for a counter mode) over `size` bytes of `in` into
// `out`, which may be the same buffer. EVP takes an int count, hence the slices.
void run(EVP_CIPHER_CTX* context, const EVP_CIPHER* cipher, const KeyMaterial& key,
         const uint8_t* iv, const uint8_t* in, uint8_t* out, size_t size) {
  if (EVP_EncryptInit_ex2(context, cipher, key.data(), iv, nullptr) != 1) {
    fail("cannot set up AES-128");
  }
  EVP_CIPHER_CTX_set_padding(context, 0);
  constexpr size_t kSlice = size_t{1} << 30;
  while (size > 0) {
    const size_t step = size < kSlice ? size : kSlice;
    int written = 0;
    if (EVP_EncryptUpdate(context, out, &written, in, static_cast<int>(step)) != 1 ||
        static_cast<size_t>(written) != step) {
      fail("AES-128 failed");
    }
    in += step;
    out += step;
    size -= step;
  }
}

// The counter block `blocks` blocks after `counter`: 128-bit big-endian addition.
Block counterAfter(const uint8_t* counter, uint64_t blocks) {
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

void xorKeystream(const KeyMaterial& key, const Block& counter, uint8_t* bytes, size_t size) {
  Context context(EVP_CIPHER_CTX_new());
  if (!context) fail("out of memory");
  run(context.get(), aesCtr(), key, counter.data(), bytes, bytes, size);
}

// Large buffers are split over a few threads at block boundaries, each slice starting
// at its own counter: one core does not reach memory speed with AES, two nearly do.
// The result is byte for byte that of one pass.
void xorKeystreamParallel(const KeyMaterial& key, const Block& counter, uint8_t* bytes,
                          size_t size) {
  constexpr size_t kMinimumSlice = size_t{8} << 20;
  const size_t cores = std::max<size_t>(1, std::thread::hardware_concurrency());
  const size_t slices = std::min<size_t>({cores, 4, size / kMinimumSlice});
  if (slices < 2) return xorKeystream(key, counter, bytes, size);

  const size_t sliceSize = (size / slices + 15) / 16 * 16;
  std::vector<std::thread> helpers;
  helpers.reserve(slices);
  // The first slice stays on the calling thread; a helper that cannot be started leaves
  // its slice to the calling thread as well.
  std::vector<std::pair<size_t, size_t>> own;
  own.reserve(slices);
  own.emplace_back(0, sliceSize);
  for (size_t offset = sliceSize; offset < size; offset += sliceSize) {
    const size_t length = std::min(sliceSize, size - offset);
    const Block start = counterAfter(counter.data(), offset / 16);
    try {
      helpers.emplace_back(xorKeystream, std::cref(key), start, bytes + offset, length);
    } catch (const std::system_error&) {
      own.emplace_back(offset, length);
    }
  }
  for (const auto& [start, length] : own) {
    xorKeystream(key, counterAfter(counter.data(), start / 16), bytes + start, length);
  }
  for (auto& helper : helpers) helper.join();
}

}  // namespace

uint32_t checkValue(const void* bytes, size_t size, uint32_t seed) {
#ifdef ZELKORSEC_XXH_DISPATCH
  // The same XXH3, with the widest vector unit this processor has.
  const XXH64_hash_t hash = XXH3_64bits_withSeed_dispatch(bytes, size, seed);
#else
  const XXH64_hash_t hash = XXH3_64bits_withSeed(bytes, size, seed);
#endif
  return static_cast<uint32_t>(hash & 0xFFFFFFFFu);
}

KeyMaterial deriveKey(int32_t check) {
  static constexpr char kLabel[] = "ZELKORSEC key";
  std::array<uint8_t, sizeof kLabel - 1 + 4> input{};
  for (size_t i = 0; i + 1 < sizeof kLabel; ++i) input[i] = static_cast<uint8_t>(kLabel[i]);
  putLe32(input.data() + sizeof kLabel - 1, static_cast<uint32_t>(check));
  std::array<uint8_t, 32> digest{};
  unsigned int digestSize = 0;
  if (EVP_Digest(input.data(), input.size(), digest.data(), &digestSize, EVP_sha256(), nullptr) !=
          1 ||
      digestSize != digest.size()) {
    fail("SHA-256 failed");
  }
  KeyMaterial key{};
  for (size_t i = 0; i < key.size(); ++i) key[i] = digest[i];
  return key;
}

int32_t transform(const KeyMaterial& key, uint8_t* bytes, size_t size, int32_t seed,
                  int32_t length) {
  // Counter block and chain block: AES_K(T || LE32(0)) and AES_K(T || LE32(1)) with
  // T = LE32(seed) || LE32(length) || "ZSEC"; both depend on key, seed and length only.
  std::array<uint8_t, 32> tweak{};
  for (size_t half = 0; half < 2; ++half) {
    uint8_t* block = tweak.data() + 16 * half;
    putLe32(block, static_cast<uint32_t>(seed));
    putLe32(block + 4, static_cast<uint32_t>(length));
    block[8] = 'Z';
    block[9] = 'S';
    block[10] = 'E';
    block[11] = 'C';
    putLe32(block + 12, static_cast<uint32_t>(half));
  }
  std::array<uint8_t, 32> derived{};
  Context context(EVP_CIPHER_CTX_new());
  if (!context) fail("out of memory");
  run(context.get(), aesEcb(), key, nullptr, tweak.data(), derived.data(), tweak.size());
  context.reset();
  if (size > 0) {
    Block counter{};
    std::copy_n(derived.begin(), counter.size(), counter.begin());
    xorKeystreamParallel(key, counter, bytes, size);
    OPENSSL_cleanse(counter.data(), counter.size());
  }
  const int32_t chain = static_cast<int32_t>(getLe32(derived.data() + 16));
  OPENSSL_cleanse(derived.data(), derived.size());
  return chain;
}

}  // namespace zelkorsec
