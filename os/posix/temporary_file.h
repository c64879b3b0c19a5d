#pragma once
// The temporary file a replacement writes, and the lock that tells other runs' clean-up
// it is in use.

#include <memory>
#include <string>

#include "platform/file_system.h"

namespace tollwick::platform::posix {

// A temporary being written through `fd`, at the program path `path` (`host` on the
// disk). `lockFd` holds the advisory lock that tells other runs' clean-up the file is
// in use; it outlives close() until the object is destroyed. Takes both descriptors.
std::unique_ptr<WritableFile> makeTemporaryFile(int fd, int lockFd, std::string path,
                                                std::string host);

// Takes the lock on a temporary just created at `host` through `fd`. A clean-up of
// another run may have taken the new file for a left-over between its creation and the
// lock: false then (the name no longer holds it), and the caller tries another name. A
// file system without locks keeps the file unlocked (no clean-up can take it either).
bool lockNewTemporary(int fd, const std::string& host);

}  // namespace tollwick::platform::posix
