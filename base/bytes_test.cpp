#include "base/bytes.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>

namespace tollwick {
namespace {

TEST(LittleEndianReaders, ReadInsideTheBytesAndZeroForANumberReachingPastTheEnd) {
  const std::array<uint8_t, 6> bytes{0x01, 0x02, 0x03, 0x84, 0x05, 0x06};
  EXPECT_EQ(readLe16(bytes, 0), 0x0201);
  EXPECT_EQ(readLe16(bytes, 4), 0x0605);  // the last two bytes
  EXPECT_EQ(readLe32(bytes, 2), 0x06058403u);
  EXPECT_EQ(readLe16(bytes, 5), 0);  // one byte short
  EXPECT_EQ(readLe32(bytes, 3), 0u);
  EXPECT_EQ(readLe32(bytes, 6), 0u);
  // An offset so large that offset + width wraps around must not read in front.
  EXPECT_EQ(readLe32(bytes, std::numeric_limits<uint64_t>::max() - 1), 0u);
  EXPECT_EQ(readLe16(std::span<const uint8_t>{}, 0), 0);
}

}  // namespace
}  // namespace tollwick
