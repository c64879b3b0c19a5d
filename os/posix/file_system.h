#pragma once
// The file-system facility on Linux and other POSIX systems: program paths are mapped
// with hostPath (os/posix/host_path.h); every system call's result is checked.

#include <memory>

#include "platform/file_system.h"

namespace tollwick::platform {

std::unique_ptr<FileSystem> makePosixFileSystem();

}  // namespace tollwick::platform
