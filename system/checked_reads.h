#pragma once
// Reads of lengths, counts and texts from an open game file, checked against the file
// before anything is allocated or read: a game file is input, and a damaged one must
// fail as a run-time error of the reading routine, never as a huge allocation or a
// read outside the file.

#include <cstdint>
#include <string>

namespace tollwick {

// Raises error 5 for a position below 1 or a negative length, and error 62 when
// `length` bytes from `position` run past the end of the open file.
void requireInFile(int16_t fileNumber, int64_t position, int64_t length);

// Reads `length` bytes at `position` as a text after requireInFile.
std::string readCheckedText(int16_t fileNumber, int64_t position, int64_t length);

// Reads a text stored as a signed 32-bit length n followed by n bytes, at `position`,
// and moves `position` past it.
std::string readLongCountedText(int16_t fileNumber, int64_t& position);

}  // namespace tollwick
