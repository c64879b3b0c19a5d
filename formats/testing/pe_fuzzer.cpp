// libFuzzer target: any bytes as a resource library file, read in every way the
// reader offers. Built by scripts/fuzz.sh.

#include <cstddef>
#include <cstdint>

#include "formats/testing/reader_exercise.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tollwick::pe::exerciseReader(std::span<const uint8_t>(data, size));
  return 0;
}
