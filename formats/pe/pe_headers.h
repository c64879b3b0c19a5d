#pragma once
// What kind of program a PE file holds, told from its headers alone: two small reads,
// whatever the size of the file, so that a library can be recognised without reading it.

#include <cstdint>
#include <string>

#include "platform/file_system.h"
#include "platform/status.h"

namespace tollwick::pe {

inline constexpr uint16_t kMachineI386 = 0x014C;

struct PeKind {
  uint16_t machine = 0;   // the file header's machine field
  bool pe32Plus = false;  // a PE32+ (64-bit) optional header
};

// Reads the DOS header, the PE signature, the file header and the optional header's
// magic of the file `path` through `files`. kDamaged when they are not a PE file's;
// the file system's failure when the file cannot be read.
platform::Result<PeKind> readPeKind(platform::FileSystem& files, const std::string& path);

}  // namespace tollwick::pe
