#pragma once
// The image of the last large file closed unchanged, kept for the next open of the same
// file while the file on disk provably still holds those bytes: a loader that checks a
// game file and the routine that then works on it read it from disk once. One image at
// most, and it is dropped before any other large file is read, so the cache never holds
// memory beside a second large image. An image is kept with its guard (a transform it
// owes among others): the file it stands for is unchanged.

#include <string>

#include "platform/file_system.h"
#include "runtime/open_file.h"

namespace tollwick {

// Moves the cached image (with its guard and identity) into `file` when it is the image
// of the file at `path` as it is now; true then.
bool takeCachedImage(platform::FileSystem& files, const std::string& path, OpenFile& file);

// Keeps the image of `file`, closed unchanged, when it is large and its identity known.
void keepImage(OpenFile& file);

// Drops the cached image.
void dropCachedImage();

}  // namespace tollwick
