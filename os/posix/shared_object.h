#pragma once
// The dynamic loader: the one place the POSIX code opens a shared library, for the
// dynamic-library facility and for the program's own modules alike.

#include <string>

#include "platform/dynamic_library.h"
#include "platform/status.h"

namespace tollwick::platform::posix {

// Loads the shared library at the host path `path`. It is never unmapped, not even by a
// dlclose at exit: what it keeps (a key handle it gave out, a toolkit's state) stays
// valid for the life of the process. Code::kNotFound, its context saying why ("<path>:
// not installed", "<path>: not a regular file", or the loader's own words), when it
// cannot be loaded. What is not a regular file is refused before the loader opens it: it
// would wait forever on a FIFO in the library's place.
Result<void*> loadSharedObject(const std::string& path);

// The export `name` of a loaded library; null when it has none.
SymbolAddress sharedObjectExport(void* library, const char* name);

// Gives back a library that loadSharedObject gave (it stays mapped, see above).
void closeSharedObject(void* library);

}  // namespace tollwick::platform::posix
