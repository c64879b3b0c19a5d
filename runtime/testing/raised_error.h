#pragma once
// The number of the run-time error an action raises, for tests of error paths.

#include <cstdint>
#include <functional>

#include "runtime/run_time_error.h"

namespace tollwick::testing {

// The error number `action` raised; 0 when it raised none.
inline int32_t errorNumberRaisedBy(const std::function<void()>& action) {
  try {
    action();
  } catch (const RunTimeError& error) {
    return error.number();
  }
  return 0;
}

}  // namespace tollwick::testing
