#pragma once
// What the loaders of the game system's files return. The numbers are the loaders' own
// result codes: the start-up sequence tells them apart in its messages.

#include <cstdint>

namespace tollwick {

enum class LoadResult : int16_t {
  kLoaded = 0,
  kNotLoaded = -1,     // a file is missing, or an error was reported first
  kFailed = -2,        // a file could not be unprotected (or, for the headers, protected
                       // again), or an error was reported
  kNotProtected = -3,  // a file could not be protected again
};

}  // namespace tollwick
