#pragma once
// The 12-byte protection header at the start of every protected file: KeyCheck,
// DataCheck and Signature, each a 32-bit little-endian field stored mangled.

#include <array>
#include <cstdint>

namespace tollwick {

inline constexpr int64_t kProtectionHeaderLength = 12;

// A header field: its four stored bytes, mangled in their own buffer.
class HeaderField {
 public:
  HeaderField() = default;
  static HeaderField ofValue(int32_t value);
  static HeaderField ofBytes(const uint8_t* stored);

  int32_t value() const;
  const std::array<uint8_t, 4>& bytes() const { return bytes_; }

  // ZelkorSecMangle over the four bytes with `seed` and `key`; returns the chain value.
  int32_t mangle(int32_t seed, int32_t key);

 private:
  std::array<uint8_t, 4> bytes_{};
};

}  // namespace tollwick
