// The contract of the security library, tested on the built library itself.

#include "zelkorsec/zelkorsec.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <xxhash.h>

#include <cstdint>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<uint8_t> patterned(size_t size, uint32_t salt = 7) {
  std::vector<uint8_t> bytes(size);
  uint32_t state = salt;
  for (auto& b : bytes) {
    state = state * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(state >> 24);
  }
  return bytes;
}

int32_t mangle(std::vector<uint8_t>& bytes, int32_t seed, int32_t key) {
  return ZelkorSecMangle(bytes.data(), static_cast<int32_t>(bytes.size()), seed, key);
}

class KeyHandle {
 public:
  explicit KeyHandle(int32_t check) : handle_(ZelkorSecMakeKey(check)) {}
  ~KeyHandle() { ZelkorSecFreeKey(handle_); }
  KeyHandle(const KeyHandle&) = delete;
  KeyHandle& operator=(const KeyHandle&) = delete;
  int32_t get() const { return handle_; }

 private:
  int32_t handle_;
};

TEST(ZelkorSecMangle, AppliedTwiceRestoresTheBytesForEverySize) {
  KeyHandle key(12345);
  for (size_t size : {size_t{0}, size_t{1}, size_t{4}, size_t{15}, size_t{16}, size_t{17},
                      size_t{4099}, (size_t{32} << 20) + 3}) {
    const auto original = patterned(size);
    auto bytes = original;
    for (int32_t seed : {0, -1, 640271}) {
      mangle(bytes, seed, key.get());
      if (size >= 4) {
        EXPECT_NE(bytes, original) << "size " << size;
      }
      mangle(bytes, seed, key.get());
      EXPECT_EQ(bytes, original) << "size " << size << " seed " << seed;
    }
  }
}

TEST(ZelkorSecMangle, ChainValueDependsOnSeedLengthAndKeyOnly) {
  KeyHandle key(1), otherKey(2);
  auto plain = patterned(64);
  auto other = patterned(64, 99);
  const int32_t chain = mangle(plain, 5, key.get());
  EXPECT_EQ(mangle(plain, 5, key.get()), chain);  // now on the transformed bytes
  EXPECT_EQ(mangle(other, 5, key.get()), chain);
  EXPECT_EQ(ZelkorSecMangle(nullptr, 64, 5, key.get()), chain);

  std::set<int32_t> chains{chain};
  chains.insert(mangle(plain, 6, key.get()));
  chains.insert(mangle(plain, 5, otherKey.get()));
  auto shorter = patterned(63);
  chains.insert(mangle(shorter, 5, key.get()));
  EXPECT_EQ(chains.size(), 4u);
}

TEST(ZelkorSecMangle, EqualChecksMakeHandlesWithTheSameKey) {
  KeyHandle first(777), second(777);
  EXPECT_NE(first.get(), second.get());
  auto bytes = patterned(100);
  const auto original = bytes;
  const int32_t chain = mangle(bytes, 3, first.get());
  EXPECT_EQ(mangle(bytes, 3, second.get()), chain);
  EXPECT_EQ(bytes, original);
}

TEST(ZelkorSecMangle, NegativeLengthTouchesNothing) {
  KeyHandle key(9);
  auto bytes = patterned(8);
  const auto original = bytes;
  ZelkorSecMangle(bytes.data(), -8, 0, key.get());
  EXPECT_EQ(bytes, original);
}

TEST(ZelkorSecKeys, FreedAndUnknownHandlesAreHarmless) {
  const int32_t handle = ZelkorSecMakeKey(42);
  EXPECT_GT(handle, 0);
  EXPECT_EQ(ZelkorSecFreeKey(handle), 1);
  EXPECT_EQ(ZelkorSecFreeKey(handle), 0);
  EXPECT_EQ(ZelkorSecFreeKey(0), 0);
  EXPECT_EQ(ZelkorSecFreeKey(-5), 0);

  auto bytes = patterned(20);
  const auto original = bytes;
  EXPECT_EQ(mangle(bytes, 1, handle), 0);
  EXPECT_EQ(bytes, original);
}

TEST(ZelkorSecKeys, HandlesMadeOnManyThreadsAreDistinctAndStayValidUntilFreed) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 500;
  std::vector<std::vector<int32_t>> made(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &made] {
      for (int i = 0; i < kPerThread; ++i)
        made[static_cast<size_t>(t)].push_back(ZelkorSecMakeKey(i));
    });
  }
  for (auto& thread : threads) thread.join();

  std::set<int32_t> all;
  for (const auto& handles : made) all.insert(handles.begin(), handles.end());
  EXPECT_EQ(all.size(), static_cast<size_t>(kThreads * kPerThread));

  // Every handle still names the key of its check: mangling with it and then with a
  // fresh handle of the same check restores the bytes.
  for (const auto& handles : made) {
    for (int i = 0; i < kPerThread; i += 97) {
      KeyHandle fresh(i);
      auto bytes = patterned(40);
      const auto original = bytes;
      mangle(bytes, 0, handles[static_cast<size_t>(i)]);
      mangle(bytes, 0, fresh.get());
      EXPECT_EQ(bytes, original);
    }
  }
  for (int32_t handle : all) EXPECT_EQ(ZelkorSecFreeKey(handle), 1);
}

TEST(ZelkorSecVerify, IsDeterministicAndDependsOnContentsLengthAndSeed) {
  const auto bytes = patterned(1000);
  const int32_t check = ZelkorSecVerify(bytes.data(), 1000, 17);
  EXPECT_EQ(ZelkorSecVerify(bytes.data(), 1000, 17), check);
  auto copy = bytes;
  EXPECT_EQ(ZelkorSecVerify(copy.data(), 1000, 17), check);
  copy[500] ^= 1;
  EXPECT_NE(ZelkorSecVerify(copy.data(), 1000, 17), check);
  EXPECT_NE(ZelkorSecVerify(bytes.data(), 999, 17), check);
  EXPECT_NE(ZelkorSecVerify(bytes.data(), 1000, 18), check);
}

TEST(ZelkorSecVerify, EmptyNegativeAndMissingBuffersAllCheckAsEmpty) {
  const int32_t empty = ZelkorSecVerify("", 0, 3);
  EXPECT_EQ(ZelkorSecVerify(nullptr, 10, 3), empty);
  EXPECT_EQ(ZelkorSecVerify("abc", -1, 3), empty);
}

// The algorithm documented in zelkorsec.h, computed here independently of the library:
// a change of the library's format fails these.
TEST(ZelkorSecFormat, VerifyIsTheLow32BitsOfSeededXxh3) {
  // XXH3-64 of the empty input with seed 0 is 2D06800538D394C2 (xxHash's own vectors).
  EXPECT_EQ(static_cast<uint32_t>(ZelkorSecVerify("", 0, 0)), 0x38D394C2u);
  const auto bytes = patterned(333);
  const uint64_t full = XXH3_64bits_withSeed(bytes.data(), bytes.size(), 0xFFFFFFFEull);
  EXPECT_EQ(static_cast<uint32_t>(ZelkorSecVerify(bytes.data(), 333, -2)),
            static_cast<uint32_t>(full));
}

// Known answers, the same for every build of the library (the Linux one on OpenSSL, the
// Windows one on the system's CNG): files protected by one must open with the other.
std::string hex(const std::vector<uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

TEST(ZelkorSecFormat, KnownAnswersOfEveryBuild) {
  KeyHandle key(-123456789);
  std::vector<uint8_t> zeros(40, 0);
  EXPECT_EQ(mangle(zeros, 640271, key.get()), -1009887374);
  EXPECT_EQ(hex(zeros),
            "19b2ab25886fbf1d266e045c058b08be921411cf1b377ce6"
            "52d11d58027f189496690c79ef3f330d");

  const auto bytes = patterned(333);
  EXPECT_EQ(static_cast<uint32_t>(ZelkorSecVerify(bytes.data(), 333, -2)), 0x1277ACA5u);

  // A buffer large enough to be transformed in slices on several threads.
  KeyHandle large(77);
  std::vector<uint8_t> big((size_t{40} << 20) + 5, 0);
  EXPECT_EQ(mangle(big, -3, large.get()), 1332621601);
  EXPECT_EQ(XXH3_64bits(big.data(), big.size()), 0x6906430DC1F8032Cull);
}

}  // namespace
