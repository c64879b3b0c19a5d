#pragma once
// Where a failure of the layers below becomes a run-time error: the one mapping from a
// platform status to the error number the program's statements raise.

#include <cstdint>
#include <utility>

#include "platform/status.h"

namespace tollwick {

// The run-time error number of a failure (0 for success).
int32_t errorNumberOf(const platform::Status& status);

// Raises the run-time error of a failure; does nothing for success.
void raiseIfFailed(const platform::Status& status);

// The value of `result`, or its failure's run-time error raised.
template <class T>
T valueOrRaise(platform::Result<T>&& result) {
  raiseIfFailed(result.status());
  return std::move(result).value();
}

}  // namespace tollwick
