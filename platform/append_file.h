#pragma once
// A file that lines are appended to, such as the dialog's transcript: opened once, before
// anything it records happens, so that one that cannot be written is known at once; an
// append never waits (a pipe whose reader does not read is a failure, not a hang).

#include <memory>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace tollwick::platform {

class AppendFile {
 public:
  virtual ~AppendFile() = default;
  // Appends all of `text`; false when it could not be written whole.
  virtual bool append(std::string_view text) = 0;
};

// Opens the file `path` (as the process's environment gives it) for appending, created
// when missing. A file that cannot be written gives a failure whose context is the
// reason, in words for the user: a directory, a pipe without a reader, a device that is
// not a terminal (a full or empty device would swallow or refuse every line).
Result<std::unique_ptr<AppendFile>> openAppendFile(const std::string& path);

}  // namespace tollwick::platform
