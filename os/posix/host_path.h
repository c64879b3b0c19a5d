#pragma once
// Program paths to Linux host paths, the way Wine maps them: a leading drive letter
// "X:" becomes "<wine prefix>/dosdevices/x:", backslashes become '/', and each component
// that does not exist exactly as written is matched case-insensitively in its
// directory (as Windows and Wine do). Texts go from the code page to UTF-8 on the way.

#include <string>

namespace tollwick::platform {

// $WINEPREFIX, or "$HOME/.wine" when it is not set.
std::string winePrefix();

// The host path of `programPath` with the prefix `prefix` for drive letters. A
// component with no match anywhere is kept as written (so a file about to be created
// gets its own name); the components after it are not looked up. A path without a
// drive letter stays absolute or relative as it was.
std::string hostPath(const std::string& programPath, const std::string& prefix);

// hostPath with winePrefix().
std::string hostPath(const std::string& programPath);

}  // namespace tollwick::platform
