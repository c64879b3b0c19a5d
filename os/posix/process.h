#pragma once
// The process facility on Linux and other POSIX systems, with the folder its
// single-copy lock files live in.

#include <functional>
#include <memory>
#include <string>

#include "platform/process.h"

namespace tollwick::platform {

// The player's own folder for the lock files: "<home>/.cache/tollwick", the home
// directory taken from the user database for this process's user (HOME only where the
// database has none), so that it is the same however the program was started. Created
// when missing; used only when it is a directory of this user's (not a link) that
// nobody else may enter. "" when there is none.
std::string userLockFolder();

// `path` as a folder only this user may enter: created (0700) when missing; an existing
// one must be a directory of this user's, not a link, and is closed to everybody else.
// "" when it cannot be had.
std::string privateFolder(const std::string& path);

// The facility with its lock files in the folder `lockFolder` returns (asked at the
// first lock; "" means no lock can be had).
std::unique_ptr<Process> makePosixProcess(std::function<std::string()> lockFolder);

}  // namespace tollwick::platform
