#include "formats/pe/dib.h"

#include <algorithm>
#include <bit>
#include <optional>
#include <utility>
#include <vector>

#include "base/bytes.h"

namespace tollwick::pe {
namespace {

using platform::Code;
using platform::PaletteEntry;
using platform::PixelMap;
using platform::PixelMapKind;
using platform::Result;
using platform::Status;

constexpr uint32_t kRgb = 0;
constexpr uint32_t kRle8 = 1;
constexpr uint32_t kRle4 = 2;
constexpr uint32_t kBitFields = 3;

// A DIB read into rows: indices (bits <= 8) or blue, green, red, alpha.
struct Raster {
  int32_t width = 0;
  int32_t height = 0;
  uint16_t bitCount = 0;
  bool indexed = false;
  bool hasAlpha = false;  // 32-bit images: the fourth byte is kept as stored
  std::vector<uint8_t> pixels;
  std::vector<PaletteEntry> colorTable;
  std::size_t end = 0;  // offset just past the pixel data read
};

// Reads one channel out of a bit-field pixel, scaled to 8 bits.
uint8_t channel(uint32_t pixel, uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const uint32_t bits = static_cast<uint32_t>(std::popcount(mask));
  const uint32_t value = (pixel & mask) >> shift;
  if (bits >= 8) return static_cast<uint8_t>(value >> (bits - 8));
  const uint32_t max = (1u << bits) - 1;
  return static_cast<uint8_t>((value * 255 + max / 2) / max);
}

// Run-length encoded pixels (8 or 4 bits) into `out` (one index per pixel, bottom-up
// rows). Returns false for data that runs out before its end-of-bitmap mark.
bool decodeRle(std::span<const uint8_t> data, bool four, int32_t width, int32_t height,
               std::vector<uint8_t>& out) {
  std::size_t i = 0;
  int64_t x = 0;
  int64_t y = 0;
  auto put = [&](uint8_t index) {
    if (x < width && y < height) out[static_cast<std::size_t>(y * width + x)] = index;
    ++x;
  };
  while (i + 1 < data.size()) {
    const uint8_t count = data[i];
    const uint8_t value = data[i + 1];
    i += 2;
    if (count > 0) {
      for (int k = 0; k < count; ++k) {
        put(four ? static_cast<uint8_t>((k % 2 == 0) ? value >> 4 : value & 15) : value);
      }
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      return true;
    } else if (value == 2) {  // delta
      if (i + 1 >= data.size()) return false;
      x += data[i];
      y += data[i + 1];
      i += 2;
    } else {  // absolute run of `value` pixels, padded to 16 bits
      const std::size_t bytes = four ? (value + 1u) / 2 : value;
      if (i + bytes > data.size()) return false;
      for (int k = 0; k < value; ++k) {
        const uint8_t b =
            data[i + (four ? static_cast<std::size_t>(k / 2) : static_cast<std::size_t>(k))];
        put(four ? static_cast<uint8_t>((k % 2 == 0) ? b >> 4 : b & 15) : b);
      }
      i += (bytes + 1) & ~std::size_t{1};
    }
    if (y >= height) return true;
  }
  return false;
}

// Reads the header, colour table and pixels of `dib`. With `halfHeight` only the first
// half of the rows the header gives are read (icons store the mask after them).
std::optional<Raster> readRaster(std::span<const uint8_t> dib, bool halfHeight) {
  if (dib.size() < 12) return std::nullopt;
  const uint32_t headerSize = readLe32(dib, 0);
  Raster r;
  int64_t height = 0;
  uint32_t compression = kRgb;
  uint32_t colorsUsed = 0;
  std::size_t entrySize = 4;
  std::size_t at = 0;
  if (headerSize == 12) {
    r.width = readLe16(dib, 4);
    height = readLe16(dib, 6);
    r.bitCount = readLe16(dib, 10);
    entrySize = 3;
    at = 12;
  } else if (headerSize >= 40 && headerSize <= dib.size()) {
    r.width = static_cast<int32_t>(readLe32(dib, 4));
    height = static_cast<int32_t>(readLe32(dib, 8));
    r.bitCount = readLe16(dib, 14);
    compression = readLe32(dib, 16);
    colorsUsed = readLe32(dib, 32);
    at = headerSize;
  } else {
    return std::nullopt;
  }
  const bool topDown = height < 0;
  height = topDown ? -height : height;
  if (halfHeight) height /= 2;
  if (r.width <= 0 || height <= 0 || height > INT32_MAX) return std::nullopt;
  r.height = static_cast<int32_t>(height);
  const uint64_t pixelCount = static_cast<uint64_t>(r.width) * static_cast<uint64_t>(r.height);
  if (pixelCount > kMaxImagePixels) return std::nullopt;

  uint32_t masks[3] = {0x00FF0000, 0x0000FF00, 0x000000FF};
  if (r.bitCount == 16) {
    masks[0] = 0x7C00;
    masks[1] = 0x03E0;
    masks[2] = 0x001F;
  }
  if (compression == kBitFields) {
    if (r.bitCount != 16 && r.bitCount != 32) return std::nullopt;
    // The masks follow a 40-byte header, and are part of any longer one.
    const std::size_t masksAt = headerSize == 40 ? at : 40;
    if (masksAt + 12 > dib.size()) return std::nullopt;
    for (int k = 0; k < 3; ++k) masks[k] = readLe32(dib, masksAt + 4 * static_cast<std::size_t>(k));
    if (headerSize == 40) at += 12;
  } else if (compression == kRle8) {
    if (r.bitCount != 8 || topDown) return std::nullopt;
  } else if (compression == kRle4) {
    if (r.bitCount != 4 || topDown) return std::nullopt;
  } else if (compression != kRgb) {
    return std::nullopt;
  }

  switch (r.bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      break;
    default:
      return std::nullopt;
  }
  r.indexed = r.bitCount <= 8;
  uint64_t tableSize = colorsUsed;
  if (r.indexed && tableSize == 0) tableSize = uint64_t{1} << r.bitCount;
  if (tableSize * entrySize > dib.size() - at) return std::nullopt;
  if (r.indexed) {
    for (uint64_t k = 0; k < tableSize; ++k) {
      const std::size_t e = at + static_cast<std::size_t>(k) * entrySize;
      r.colorTable.push_back(PaletteEntry{dib[e + 2], dib[e + 1], dib[e], 0});
    }
  }
  at += static_cast<std::size_t>(tableSize) * entrySize;

  const std::size_t width = static_cast<std::size_t>(r.width);
  const std::size_t rows = static_cast<std::size_t>(r.height);
  if (compression == kRle8 || compression == kRle4) {
    // A run of two bytes gives at most 255 pixels; a bitmap that claims far more pixels
    // than its data could ever fill is refused before anything is allocated for it.
    if (pixelCount > uint64_t{256} * (dib.size() - at) + 65536) return std::nullopt;
    std::vector<uint8_t> bottomUp(width * rows, 0);
    if (!decodeRle(dib.subspan(at), compression == kRle4, r.width, r.height, bottomUp)) {
      return std::nullopt;
    }
    r.pixels.resize(width * rows);
    for (std::size_t y = 0; y < rows; ++y) {
      std::copy_n(&bottomUp[(rows - 1 - y) * width], width, &r.pixels[y * width]);
    }
    r.end = dib.size();
    return r;
  }

  const uint64_t stride = ((uint64_t{width} * r.bitCount + 31) / 32) * 4;
  if (stride * rows > dib.size() - at) return std::nullopt;
  r.pixels.resize(width * rows * (r.indexed ? 1 : 4));
  r.hasAlpha = r.bitCount == 32 && compression == kRgb;
  for (std::size_t y = 0; y < rows; ++y) {
    const std::size_t sourceRow = topDown ? y : rows - 1 - y;
    const auto row = dib.subspan(at + static_cast<std::size_t>(stride) * sourceRow,
                                 static_cast<std::size_t>(stride));
    for (std::size_t x = 0; x < width; ++x) {
      if (r.indexed) {
        const std::size_t bit = x * r.bitCount;
        const uint8_t byte = row[bit / 8];
        const unsigned shift = 8 - r.bitCount - static_cast<unsigned>(bit % 8);
        r.pixels[y * width + x] = static_cast<uint8_t>((byte >> shift) & ((1u << r.bitCount) - 1));
        continue;
      }
      uint8_t* out = &r.pixels[(y * width + x) * 4];
      if (r.bitCount == 24) {
        out[0] = row[x * 3];
        out[1] = row[x * 3 + 1];
        out[2] = row[x * 3 + 2];
        out[3] = 255;
      } else if (r.hasAlpha) {
        std::copy_n(&row[x * 4], 4, out);
      } else {
        const uint32_t pixel = r.bitCount == 16 ? readLe16(row, x * 2) : readLe32(row, x * 4);
        out[0] = channel(pixel, masks[2]);
        out[1] = channel(pixel, masks[1]);
        out[2] = channel(pixel, masks[0]);
        out[3] = 255;
      }
    }
  }
  r.end = at + static_cast<std::size_t>(stride * rows);
  return r;
}

}  // namespace

Result<PixelMap> decodeBitmap(std::span<const uint8_t> dib) {
  auto raster = readRaster(dib, false);
  if (!raster) return Status(Code::kDamaged, "damaged bitmap");
  PixelMap image;
  image.kind = PixelMapKind::kBitmap;
  image.width = raster->width;
  image.height = raster->height;
  image.bitsPerPixel = raster->bitCount;
  image.indexed = raster->indexed;
  image.pixels = std::move(raster->pixels);
  image.colorTable = std::move(raster->colorTable);
  return Result<PixelMap>(std::move(image));
}

Result<PixelMap> decodeIcon(std::span<const uint8_t> dib, PixelMapKind kind) {
  static constexpr uint8_t kPng[] = {0x89, 'P', 'N', 'G'};
  if (dib.size() >= 4 && std::equal(kPng, kPng + 4, dib.begin())) {
    return Status(Code::kDamaged, "image stored as PNG");
  }
  auto raster = readRaster(dib, true);
  if (!raster || raster->end > dib.size()) return Status(Code::kDamaged, "damaged icon image");
  const std::size_t width = static_cast<std::size_t>(raster->width);
  const std::size_t rows = static_cast<std::size_t>(raster->height);
  PixelMap image;
  image.kind = kind;
  image.width = raster->width;
  image.height = raster->height;
  image.bitsPerPixel = raster->bitCount;
  image.pixels.resize(width * rows * 4);
  bool anyAlpha = false;
  for (std::size_t p = 0; p < width * rows; ++p) {
    uint8_t* out = &image.pixels[p * 4];
    if (raster->indexed) {
      const uint8_t index = raster->pixels[p];
      const PaletteEntry c =
          index < raster->colorTable.size() ? raster->colorTable[index] : PaletteEntry{};
      out[0] = c.blue;
      out[1] = c.green;
      out[2] = c.red;
      out[3] = 255;
    } else {
      std::copy_n(&raster->pixels[p * 4], 4, out);
      if (raster->hasAlpha && out[3] != 0) anyAlpha = true;
    }
  }
  // A 32-bit image with alpha carries its own transparency; every other one takes it
  // from the 1-bit mask after the colour rows (missing mask rows leave pixels opaque).
  if (!anyAlpha) {
    const std::size_t stride = ((width + 31) / 32) * 4;
    for (std::size_t y = 0; y < rows; ++y) {
      const std::size_t at = raster->end + (rows - 1 - y) * stride;
      if (at + stride > dib.size()) continue;
      for (std::size_t x = 0; x < width; ++x) {
        const bool transparent = ((dib[at + x / 8] >> (7 - x % 8)) & 1) != 0;
        image.pixels[(y * width + x) * 4 + 3] = transparent ? 0 : 255;
      }
    }
  }
  return Result<PixelMap>(std::move(image));
}

}  // namespace tollwick::pe
