#pragma once
// The resource-library facility over the project's PE reader: where the system has no
// resource functions of its own (Linux), or they cannot serve a library (a 64-bit one in
// a 32-bit process).

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/file_system.h"
#include "platform/resource_library.h"

namespace tollwick::platform {

// Libraries are read through `files` (program paths); wave sounds go to the sound
// output `sound` gives when one plays; `language` is the user-interface language that
// picks among a resource's languages, asked at each load.
std::unique_ptr<ResourceLoader> makePeResourceLoader(FileSystem& files,
                                                     std::function<SoundOutput&()> sound,
                                                     std::function<uint16_t()> language);

}  // namespace tollwick::platform
