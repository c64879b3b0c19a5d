#include "zelkorsec/primitives.h"

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
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "zelkorsec/crypto.h"

namespace zelkorsec {

void crypto::fail(const char* what) {
  std::fprintf(stderr, "ZELKORSEC: %s\n", what);
  std::abort();
}

namespace {

using crypto::Block;

void putLe32(uint8_t* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t getLe32(const uint8_t* in) {
  return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
         static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
}

// Large buffers are split over a few threads at block boundaries, each slice starting
// at its own counter: one core does not reach memory speed with AES, two nearly do.
// The result is byte for byte that of one pass.
void xorKeystreamParallel(const KeyMaterial& key, const Block& counter, uint8_t* bytes,
                          size_t size) {
  constexpr size_t kMinimumSlice = size_t{8} << 20;
  const size_t cores = std::max<size_t>(1, std::thread::hardware_concurrency());
  const size_t slices = std::min<size_t>({cores, 4, size / kMinimumSlice});
  if (slices < 2) return crypto::xorCounterStream(key, counter, bytes, size);

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
    const Block start = crypto::counterAfter(counter, offset / 16);
    try {
      helpers.emplace_back(crypto::xorCounterStream, std::cref(key), start, bytes + offset, length);
    } catch (const std::system_error&) {
      own.emplace_back(offset, length);
    }
  }
  for (const auto& [start, length] : own) {
    crypto::xorCounterStream(key, crypto::counterAfter(counter, start / 16), bytes + start, length);
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
  crypto::Digest digest = crypto::sha256(input.data(), input.size());
  KeyMaterial key{};
  std::copy_n(digest.begin(), key.size(), key.begin());
  crypto::cleanse(digest.data(), digest.size());
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
  crypto::encryptBlocks(key, tweak.data(), derived.data(), tweak.size());
  if (size > 0) {
    Block counter{};
    std::copy_n(derived.begin(), counter.size(), counter.begin());
    xorKeystreamParallel(key, counter, bytes, size);
    crypto::cleanse(counter.data(), counter.size());
  }
  const int32_t chain = static_cast<int32_t>(getLe32(derived.data() + 16));
  crypto::cleanse(derived.data(), derived.size());
  return chain;
}

}  // namespace zelkorsec
