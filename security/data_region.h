#pragma once
// The data region of a protected file: everything after the 12-byte header.

#include <cstdint>

namespace tollwick {

// Bytes after the header of a file of `fileLength` bytes (0 when the file is shorter
// than its header), as the library's 32-bit length. Error 6 when it does not fit.
int32_t dataLengthOf(int64_t fileLength);

// The first data byte of the open file's image, for a region of `dataLength` bytes;
// a valid dummy address when the region is empty.
uint8_t* dataOf(int16_t fileNumber, int32_t dataLength);

}  // namespace tollwick
