#pragma once
// Little-endian numbers in byte buffers, UTF-16LE text in bytes, and hexadecimal
// digits: the forms every file format of the game and of the platform stores.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tollwick {

// The little-endian number held by exactly as many bytes as it has: the extent of the
// span is the bounds check, made by the compiler.
inline uint16_t loadLe16(std::span<const uint8_t, 2> p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t loadLe32(std::span<const uint8_t, 4> p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// The little-endian number at offset `at` of `bytes`, or 0 where it would reach past the
// end (a reader that must tell the two apart checks the length first).
inline uint16_t readLe16(std::span<const uint8_t> bytes, uint64_t at) {
  if (at > bytes.size() || bytes.size() - at < 2) return 0;
  return loadLe16(bytes.subspan(static_cast<size_t>(at)).first<2>());
}

inline uint32_t readLe32(std::span<const uint8_t> bytes, uint64_t at) {
  if (at > bytes.size() || bytes.size() - at < 4) return 0;
  return loadLe32(bytes.subspan(static_cast<size_t>(at)).first<4>());
}

inline void storeLe16(std::span<uint8_t, 2> p, uint16_t value) {
  p[0] = static_cast<uint8_t>(value & 0xFF);
  p[1] = static_cast<uint8_t>(value >> 8);
}

inline void storeLe32(std::span<uint8_t, 4> p, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

// The 16-bit units of UTF-16LE bytes (an odd last byte, which no unit holds, dropped).
inline std::u16string unitsFromLeBytes(std::span<const uint8_t> bytes) {
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    units.push_back(static_cast<char16_t>(loadLe16(bytes.subspan(i).first<2>())));
  }
  return units;
}

// The UTF-16LE bytes of `units`, appended to `out`.
inline void appendLeBytes(std::vector<uint8_t>& out, std::u16string_view units) {
  for (char16_t unit : units) {
    out.push_back(static_cast<uint8_t>(unit & 0xFF));
    out.push_back(static_cast<uint8_t>(unit >> 8));
  }
}

inline bool isHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The value of a hexadecimal digit (isHexDigit(c) must hold).
inline unsigned hexValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  return static_cast<unsigned>((c | 0x20) - 'a' + 10);
}

}  // namespace tollwick
