// Bitmaps, icons and wave sounds as stored in resource libraries.

#include <gtest/gtest.h>

#include <filesystem>

#include "formats/pe/dib.h"
#include "formats/pe/pe_file.h"
#include "formats/pe/pe_pictures.h"
#include "formats/pe/wave.h"
#include "formats/testing/pe_file_builder.h"
#include "formats/testing/reader_exercise.h"

namespace tollwick::pe {
namespace {

using namespace tollwick::pe::testing;
using platform::PixelMapKind;

// A DIB with a 40-byte header, `tableEntries` colour-table entries (entry i is blue i,
// green 2i, red 3i) and the given pixel bytes.
std::vector<uint8_t> dib(int32_t width, int32_t height, uint16_t bits, uint32_t compression,
                         uint32_t colorsUsed, std::size_t tableEntries,
                         const std::vector<uint8_t>& pixels) {
  std::vector<uint8_t> b(40, 0);
  put32(b, 0, 40);
  put32(b, 4, static_cast<uint32_t>(width));
  put32(b, 8, static_cast<uint32_t>(height));
  put16(b, 12, 1);
  put16(b, 14, bits);
  put32(b, 16, compression);
  put32(b, 32, colorsUsed);
  for (std::size_t i = 0; i < tableEntries; ++i) {
    const auto v = static_cast<uint8_t>(i);
    b.insert(b.end(), {v, static_cast<uint8_t>(2 * v), static_cast<uint8_t>(3 * v), 0});
  }
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

std::vector<uint8_t> bgra(const platform::PixelMap& image, int x, int y) {
  const auto at = static_cast<std::size_t>((y * image.width + x) * 4);
  return {image.pixels[at], image.pixels[at + 1], image.pixels[at + 2], image.pixels[at + 3]};
}

TEST(Dib, ColourTableSizeFollowsColoursUsedOrTheBitDepth) {
  struct Case {
    uint16_t bits;
    uint32_t used;
    std::size_t expected;
  };
  for (const Case& c :
       {Case{8, 0, 256}, Case{8, 3, 3}, Case{8, 256, 256}, Case{4, 0, 16}, Case{1, 0, 2}}) {
    const auto image = decodeBitmap(dib(1, 1, c.bits, 0, c.used, c.expected, {0, 0, 0, 0}));
    ASSERT_TRUE(image.ok()) << c.bits << "/" << c.used;
    EXPECT_TRUE(image->indexed);
    EXPECT_EQ(image->colorTable.size(), c.expected);
  }
  // A table that the bytes cannot hold is damage, not a shorter table.
  EXPECT_FALSE(decodeBitmap(dib(1, 1, 8, 0, 0, 100, {})).ok());
}

TEST(Dib, PixelsOfEachDepthComeOutTopDown) {
  // 1 bit, 10 x 2: bottom row 1000000001, top row 0111111110.
  const auto mono = decodeBitmap(dib(10, 2, 1, 0, 0, 2, {0x80, 0x40, 0, 0, 0x7F, 0x80, 0, 0}));
  ASSERT_TRUE(mono.ok());
  EXPECT_EQ(mono->pixels, (std::vector<uint8_t>{0, 1, 1, 1, 1, 1, 1, 1, 1, 0,  //
                                                1, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
  // 4 bits, 3 x 1.
  const auto nibbles = decodeBitmap(dib(3, 1, 4, 0, 0, 16, {0x12, 0x30, 0, 0}));
  ASSERT_TRUE(nibbles.ok());
  EXPECT_EQ(nibbles->pixels, (std::vector<uint8_t>{1, 2, 3}));
  // 16 bits, 5-5-5: pure red, then pure blue.
  const auto rgb555 = decodeBitmap(dib(2, 1, 16, 0, 0, 0, {0x00, 0x7C, 0x1F, 0x00}));
  ASSERT_TRUE(rgb555.ok());
  EXPECT_EQ(bgra(*rgb555, 0, 0), (std::vector<uint8_t>{0, 0, 255, 255}));
  EXPECT_EQ(bgra(*rgb555, 1, 0), (std::vector<uint8_t>{255, 0, 0, 255}));
  // 16 bits with 5-6-5 bit fields (the masks follow the header): pure green.
  auto fields = dib(1, 1, 16, 3, 0, 0, {});
  for (uint32_t mask : {0xF800u, 0x07E0u, 0x001Fu}) {
    fields.insert(fields.end(),
                  {static_cast<uint8_t>(mask), static_cast<uint8_t>(mask >> 8), 0, 0});
  }
  fields.insert(fields.end(), {0xE0, 0x07, 0, 0});
  const auto rgb565 = decodeBitmap(fields);
  ASSERT_TRUE(rgb565.ok());
  EXPECT_EQ(bgra(*rgb565, 0, 0), (std::vector<uint8_t>{0, 255, 0, 255}));
  // 32 bits, stored top-down (negative height): the first stored row is the top.
  const auto topDown = decodeBitmap(dib(1, -2, 32, 0, 0, 0, {1, 2, 3, 4, 5, 6, 7, 8}));
  ASSERT_TRUE(topDown.ok());
  EXPECT_EQ(bgra(*topDown, 0, 0), (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(bgra(*topDown, 0, 1), (std::vector<uint8_t>{5, 6, 7, 8}));
}

TEST(Dib, RunLengthEncodedBitmapsDecode) {
  // RLE8, 4 x 2: bottom row "5 5 5 9" by a run and an absolute run; top row a run of 7.
  const auto rle8 = decodeBitmap(dib(4, 2, 8, 1, 16, 16,
                                     {3, 5, 0, 3, 9, 0, 0, 0,  // run, absolute (1 pixel + pad)
                                      0, 0, 4, 7, 0, 1}));
  ASSERT_TRUE(rle8.ok());
  EXPECT_EQ(rle8->pixels, (std::vector<uint8_t>{7, 7, 7, 7, 5, 5, 5, 9}));
  // RLE4, 4 x 1: a run alternating 1 and 2, then end of bitmap.
  const auto rle4 = decodeBitmap(dib(4, 1, 4, 2, 0, 16, {4, 0x12, 0, 1}));
  ASSERT_TRUE(rle4.ok());
  EXPECT_EQ(rle4->pixels, (std::vector<uint8_t>{1, 2, 1, 2}));
  // Data that stops before its end mark.
  EXPECT_FALSE(decodeBitmap(dib(4, 2, 8, 1, 16, 16, {3, 5, 0})).ok());
}

TEST(Dib, DamagedHeadersGiveNoImage) {
  const std::vector<uint8_t> pixel = {0, 0, 0, 0};
  EXPECT_FALSE(decodeBitmap({}).ok());
  EXPECT_FALSE(decodeBitmap(dib(0, 1, 24, 0, 0, 0, pixel)).ok());            // no width
  EXPECT_FALSE(decodeBitmap(dib(1, 1, 7, 0, 0, 0, pixel)).ok());             // no such depth
  EXPECT_FALSE(decodeBitmap(dib(2, 2, 24, 0, 0, 0, pixel)).ok());            // rows missing
  EXPECT_FALSE(decodeBitmap(dib(1, 1, 24, 9, 0, 0, pixel)).ok());            // unknown compression
  EXPECT_FALSE(decodeBitmap(dib(40000, 40000, 8, 1, 0, 256, {0, 1})).ok());  // claims too much
  auto shortHeader = dib(1, 1, 24, 0, 0, 0, pixel);
  put32(shortHeader, 0, 20);
  EXPECT_FALSE(decodeBitmap(shortHeader).ok());
}

TEST(Wave, TheSampleChimeIsPlayablePcm) {
  const auto bytes = readAll(std::string(TOLLWICK_SOURCE_DIR) + "/sample/assets/chime.wav");
  const auto wave = parseWave(bytes);
  ASSERT_TRUE(wave.ok());
  EXPECT_EQ(wave->formatTag, 1);
  EXPECT_EQ(wave->channels, 1);
  EXPECT_EQ(wave->sampleRate, 22050u);
  EXPECT_EQ(wave->bitsPerSample, 16);
  EXPECT_EQ(wave->size, 22050u / 4 * 2);
}

std::vector<uint8_t> riff(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& chunks,
                          uint16_t bits = 16) {
  std::vector<uint8_t> b = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  for (const auto& [id, body] : chunks) {
    b.insert(b.end(), id.begin(), id.end());
    const std::size_t at = b.size();
    put32(b, at, static_cast<uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() % 2 == 1) b.push_back(0);
  }
  (void)bits;
  return b;
}

std::vector<uint8_t> format(uint16_t tag, uint16_t channels, uint16_t bits) {
  std::vector<uint8_t> f(16, 0);
  put16(f, 0, tag);
  put16(f, 2, channels);
  put32(f, 4, 8000);
  put16(f, 14, bits);
  return f;
}

TEST(Wave, ChunksAreWalkedAndCheckedAgainstTheBytes) {
  const auto padded = parseWave(riff(
      {{"fmt ", format(1, 2, 16)}, {"LIST", {1, 2, 3}}, {"data", {1, 2, 3, 4, 5, 6, 7, 8, 9}}}));
  ASSERT_TRUE(padded.ok());
  EXPECT_EQ(padded->size, 8u);  // whole frames of 4 bytes only
  auto cut = riff({{"fmt ", format(1, 1, 8)}, {"data", {1, 2, 3, 4}}});
  put32(cut, cut.size() - 8, 1000);  // the data chunk claims more than the file holds
  ASSERT_TRUE(parseWave(cut).ok());
  EXPECT_EQ(parseWave(cut)->size, 4u);
  EXPECT_FALSE(parseWave(riff({{"fmt ", format(1, 1, 12)}, {"data", {1, 2}}})).ok());
  EXPECT_FALSE(parseWave(riff({{"fmt ", format(2, 1, 16)}, {"data", {1, 2}}})).ok());
  EXPECT_EQ(parseWave(riff({{"data", {1, 2}}})).status().context(),
            "data chunk before the format chunk");
  const std::vector<uint8_t> notRiff = {'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  EXPECT_FALSE(parseWave(notRiff).ok());
}

TEST(Pictures, EveryPictureOfWinesOwnLibrariesDecodes) {
  int decoded = 0;
  for (const std::string name : {"user32.dll", "comctl32.dll"}) {
    const std::string path = wineDll(name);
    if (!exists(path)) GTEST_SKIP() << "Wine's DLLs are not installed (package libwine)";
    const auto image = PeFile::parse(readAll(path));
    ASSERT_TRUE(image.ok());
    for (const Resource& r : image->resources()) {
      if (r.name.isName || r.type.isName) continue;
      std::optional<PixelMapKind> kind;
      if (r.type.id == rt::kBitmap) kind = PixelMapKind::kBitmap;
      if (r.type.id == rt::kGroupIcon) kind = PixelMapKind::kIcon;
      if (r.type.id == rt::kGroupCursor) kind = PixelMapKind::kCursor;
      if (!kind) continue;
      const auto picture = loadPicture(*image, r.name.id, *kind);
      ASSERT_NE(picture, nullptr) << name << " type " << r.type.id << " id " << r.name.id;
      EXPECT_TRUE(picture->consistent());
      ++decoded;
    }
  }
  EXPECT_GT(decoded, 50);
}

TEST(Fuzzing, InputsThatOnceFailedAreReadSafely) {
  // scripts/fuzz.sh writes an input that fails into this folder; each is kept here.
  const std::filesystem::path kept = std::string(TOLLWICK_SOURCE_DIR) + "/formats/pe/testdata/fuzz";
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kept)) {
    exerciseReader(readAll(entry.path().string()));
    ++count;
  }
  EXPECT_GT(count, 0);
}

}  // namespace
}  // namespace tollwick::pe
