#pragma once
// Whether another process holds a file open: Windows refuses to delete such a file, and so
// does this program, on both systems.

#include <sys/stat.h>

namespace tollwick::platform::posix {

// Whether another process has the file `st` describes open (the game under Wine, an
// editor). The processes seen are those whose descriptors this one may read (its
// user's; all for root).
bool heldOpenByAnotherProcess(const struct stat& st);

}  // namespace tollwick::platform::posix
