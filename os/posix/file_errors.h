#pragma once
// What errno of a failed call on a host path tells, as the platform's status.

#include <string>

#include "platform/status.h"

namespace tollwick::platform::posix {

// The kind of failure errno `error` of a call on `host` tells.
Code codeOf(int error, const std::string& host);

// errno of a failed call on `host`, as a status naming it.
Status statusOf(int error, const std::string& host);

}  // namespace tollwick::platform::posix
