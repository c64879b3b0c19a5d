#pragma once
// What tells, without reading it, that a regular file still holds the bytes read from it
// earlier (platform::FileIdentity), from what stat says of it.

#include <sys/stat.h>

#include "platform/file_system.h"

namespace tollwick::platform::posix {

// The identity of the regular file `st` describes. File times come from a clock that
// ticks coarsely (and some file systems keep whole seconds only): a change within the
// same tick as the last one would leave them as they are. So a file is vouched for
// only when its last change lies safely behind the present.
FileIdentity identityOf(const struct stat& st);

// Whether two stats of a file show the same file with the same size and times: it did
// not change between them.
bool sameTimesAndSize(const struct stat& a, const struct stat& b);

}  // namespace tollwick::platform::posix
