// Times one unprotect and one protect of an unchanged protected file through the real
// file layer, the way every loader treats a game file.
//
//   protect_bench make  <file> <megabytes>   writes a protected file of that data size
//   protect_bench cycle <file>               open, unprotect, protect, close
//
// `cycle` prints its wall time in seconds and the process's peak resident memory.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "runtime/binary_file.h"
#include "runtime/run_time_error.h"
#include "security/sarn_security.h"
#include "system/system_state.h"

namespace {

constexpr int32_t kSignature = 0x1CE5EED;

void setKeyTexts() {
  auto& header = tollwick::systemState().header;
  header.texts[0] = "Zelkor";
  header.texts[1] = "Benchmark system";
  header.texts[2] = "Third text";
}

int make(const std::string& path, long megabytes) {
  const int16_t file = tollwick::freeFile();
  tollwick::openBinary(file, path);
  // One write that sizes the image, then the data filled in place.
  const int64_t size = static_cast<int64_t>(megabytes) << 20;
  const uint8_t last = 0;
  tollwick::writeBytes(file, 12 + size, std::span<const uint8_t>(&last, 1));
  auto image = tollwick::fileImage(file);
  uint32_t state = 12345;
  for (size_t i = 12; i + 4 <= image.size(); i += 4) {
    state = state * 1664525u + 1013904223u;
    for (size_t b = 0; b < 4; ++b) image[i + b] = static_cast<uint8_t>(state >> (8 * b));
  }
  int16_t number = file;
  if (!tollwick::SarnEncryptFile(number, tollwick::loadedKeyText(false), kSignature)) return 1;
  tollwick::closeFile(file);
  return 0;
}

// Peak resident memory in kB from /proc/self/status, or -1 where there is none.
long peakResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int cycle(const std::string& path) {
  const auto start = std::chrono::steady_clock::now();
  auto phase = start;
  int16_t file = tollwick::freeFile();
  tollwick::openBinary(file, path);
  const double open = secondsSince(phase);
  phase = std::chrono::steady_clock::now();
  if (!tollwick::SarnDecryptFile(file, tollwick::loadedKeyText(false), kSignature)) return 1;
  const double unprotect = secondsSince(phase);
  phase = std::chrono::steady_clock::now();
  if (!tollwick::SarnEncryptFile(file, tollwick::loadedKeyText(false), kSignature)) return 1;
  const double protect = secondsSince(phase);
  phase = std::chrono::steady_clock::now();
  tollwick::closeFile(file);
  const double close = secondsSince(phase);
  std::printf("cycle_seconds %.4f\nopen %.4f unprotect %.4f protect %.4f close %.4f\n",
              secondsSince(start), open, unprotect, protect, close);
  std::printf("peak_rss_kb %ld\n", peakResidentKb());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  try {
    setKeyTexts();
    if (mode == "make" && argc == 4) return make(argv[2], std::strtol(argv[3], nullptr, 10));
    if (mode == "cycle" && argc == 3) return cycle(argv[2]);
  } catch (const tollwick::RunTimeError& error) {
    std::fprintf(stderr, "protect_bench: error %d: %s\n", error.number(),
                 error.description().c_str());
    return 1;
  }
  std::fprintf(stderr, "usage: protect_bench make <file> <megabytes> | cycle <file>\n");
  return 2;
}
