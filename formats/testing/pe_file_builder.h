#pragma once
// Helpers for the reader's tests: the libraries the build makes, files read whole, and
// a minimal PE32+ file wrapped around resource-section bytes written by hand.

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tollwick::pe::testing {

inline std::string sampleDll() { return std::string(TOLLWICK_BINARY_DIR) + "/bin/Zelkor.dll"; }
inline std::string sample32Dll() {
  return std::string(TOLLWICK_BINARY_DIR) + "/sample/Zelkor32.dll";
}
inline std::string edgeDll() {
  return std::string(TOLLWICK_BINARY_DIR) + "/formats/pe/testdata/edge.dll";
}
inline std::string sampleRc() { return std::string(TOLLWICK_SOURCE_DIR) + "/sample/Zelkor.rc"; }
inline std::string wineDll(const std::string& name) {
  return "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/" + name;
}

inline std::vector<uint8_t> readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool exists(const std::string& path) { return std::ifstream(path).good(); }

inline void put16(std::vector<uint8_t>& b, std::size_t at, uint32_t v) {
  if (b.size() < at + 2) b.resize(at + 2);
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

inline void put32(std::vector<uint8_t>& b, std::size_t at, uint32_t v) {
  put16(b, at, v & 0xFFFF);
  put16(b, at + 2, v >> 16);
}

// Section layout of the files made by wrapResources.
inline constexpr uint32_t kResourceRva = 0x1000;
inline constexpr uint32_t kResourceFileOffset = 0x200;

// A PE32+ file with one section at RVA 0x1000 (file offset 0x200) holding `resources`,
// named by the resource directory entry.
inline std::vector<uint8_t> wrapResources(const std::vector<uint8_t>& resources) {
  std::vector<uint8_t> b(kResourceFileOffset, 0);
  b[0] = 'M';
  b[1] = 'Z';
  put32(b, 0x3C, 0x40);
  b[0x40] = 'P';
  b[0x41] = 'E';
  put16(b, 0x44, 0x8664);
  put16(b, 0x46, 1);    // sections
  put16(b, 0x54, 240);  // optional header size
  put16(b, 0x56, 0x2022);
  const std::size_t optional = 0x58;
  put16(b, optional, 0x20B);
  put32(b, optional + 108, 16);
  put32(b, optional + 128, kResourceRva);
  put32(b, optional + 132, static_cast<uint32_t>(resources.size()));
  const std::size_t section = optional + 240;
  std::copy_n(".rsrc", 5, b.begin() + static_cast<std::ptrdiff_t>(section));
  put32(b, section + 8, static_cast<uint32_t>(resources.size()));
  put32(b, section + 12, kResourceRva);
  put32(b, section + 16, static_cast<uint32_t>(resources.size()));
  put32(b, section + 20, kResourceFileOffset);
  b.insert(b.end(), resources.begin(), resources.end());
  return b;
}

// A resource directory header at `at` with `named` name entries and `ids` id entries.
inline void putDirectory(std::vector<uint8_t>& r, std::size_t at, uint16_t named, uint16_t ids) {
  put32(r, at + 12, 0);
  put16(r, at + 12, named);
  put16(r, at + 14, ids);
}

// Directory entry `index` of the directory at `dir`.
inline void putEntry(std::vector<uint8_t>& r, std::size_t dir, std::size_t index, uint32_t name,
                     uint32_t target) {
  put32(r, dir + 16 + 8 * index, name);
  put32(r, dir + 16 + 8 * index + 4, target);
}

}  // namespace tollwick::pe::testing
