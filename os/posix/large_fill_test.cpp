// The fill of large buffers: the free huge blocks counted, and a file that ends before the
// buffer does.

#include "os/posix/large_fill.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "platform/testing/scratch_directory.h"

namespace tollwick::platform::posix {
namespace {

// Free blocks of an order count every larger block as that many of it, and leave out the
// zone kept for devices.
TEST(LargeFill, FreeBlocksOfAnOrderCountTheLargerOnesOutsideTheDeviceZone) {
  const std::string buddyinfo =
      "Node 0, zone      DMA      0      0      0      0      0      0      0      0      1      1 "
      "     3 \n"
      "Node 0, zone    DMA32      1      2      2      2      1      2      0      3      3      1 "
      "   753 \n"
      "Node 0, zone   Normal   4491   3539   2812   1709   1146    329    611    142     52     79 "
      "   372 \n";
  EXPECT_EQ(freeBlocksFrom(buddyinfo, 9), 1 + 2 * 753 + 79 + 2 * 372);  // DMA is not counted
  EXPECT_EQ(freeBlocksFrom("", 9), 0U);
}

TEST(LargeFill, AFileThatEndsEarlyFillsWhatItHolds) {
  tollwick::testing::ScratchDirectory scratch("tollwick-fill-");
  std::string bytes(9 * 1024 * 1024 + 5, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i % 251);
  scratch.write("short", bytes);
  const int fd = ::open(scratch.file("short").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  std::string into(32 * 1024 * 1024, 'x');
  size_t got = 0;
  EXPECT_EQ(fillFromFile(fd, reinterpret_cast<uint8_t*>(into.data()), into.size(), 5, got), 0);
  ::close(fd);
  EXPECT_EQ(got, bytes.size() - 5);
  EXPECT_TRUE(into.compare(0, got, bytes, 5) == 0);
}

}  // namespace
}  // namespace tollwick::platform::posix
