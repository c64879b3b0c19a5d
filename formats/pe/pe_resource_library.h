#pragma once
// The resource-library facility over the project's PE reader: where the system has no
// resource functions of its own (Linux), or they cannot serve a library (a 64-bit one in
// a 32-bit process).

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/file_system.h"
#include "platform/resource_library.h"
#include "platform/sound_output.h"

namespace tollwick::platform {

// The largest resource library the reader loads: 512 MiB. A game's resource library
// holds its strings, pictures and sounds and is mapped whole into the 32-bit game's
// address space beside everything else the game holds, so a real one stays far below
// it. A longer file (also one whose size lied, found so while it is read) does not
// load, as a library the resource functions cannot load.
inline constexpr uint64_t kLargestResourceLibrary = uint64_t{512} << 20;

// Libraries are read through `files` (program paths); wave sounds go to the sound
// output `sound` gives when one plays; `language` is the user-interface language that
// picks among a resource's languages, asked at each load.
std::unique_ptr<ResourceLoader> makePeResourceLoader(FileSystem& files,
                                                     std::function<SoundOutput&()> sound,
                                                     std::function<uint16_t()> language);

}  // namespace tollwick::platform
