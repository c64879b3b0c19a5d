#pragma once
// The names of the hidden temporary files a replacement writes beside the file it
// replaces: "." + the file's name + ".tw-" + eight hexadecimal digits. One rule for
// every file system, so that a later run can tell its own left-overs from anything
// else in a directory.

#include <cstdint>
#include <string>
#include <string_view>

namespace tollwick::platform {

// The temporary name for a replacement of the file named `name` (the name alone).
std::string temporaryNameFor(std::string_view name, uint32_t suffix);

// A temporary name for `name` with a suffix drawn afresh: a random number per process
// and a counter, so that runs and replacements at the same time draw different ones
// (the file is still created exclusively, and another name drawn when it exists).
std::string freshTemporaryNameFor(std::string_view name);

// True when `name` (the name alone) is one that temporaryNameFor gives.
bool isTemporaryName(std::string_view name);

}  // namespace tollwick::platform
