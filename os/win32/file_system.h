#pragma once
// The file-system facility on Windows, to be made with a choice its tests need.

#include <memory>

#include "platform/file_system.h"

namespace tollwick::platform {

// The facility. A replacement of an existing file goes through ReplaceFileW (keeping
// what the owner set on the old file) unless `useReplaceFile` is false: then, as on a
// volume that cannot do that, through the replacing rename alone.
std::unique_ptr<FileSystem> makeWin32FileSystem(bool useReplaceFile);

}  // namespace tollwick::platform
