#pragma once
// A file's new content on its way in: written to a hidden temporary beside the file,
// flushed and closed, and held there (a live process's temporary is never taken by
// another run's clean-up) until it is put in place or dropped. Shared by the runtime's
// binary files and the registry file of a Wine prefix.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/file_system.h"
#include "platform/status.h"

namespace tollwick::platform {

class Replacement {
 public:
  // Writes `bytes` into a new temporary beside the file `target` names (with its
  // attributes, see createTempBeside). On the way, removes the temporaries that
  // interrupted runs left in that directory (names of platform/temporary_names.h that
  // no live process holds). Every step is checked; on a failure nothing is left behind
  // and the failure is returned.
  static Result<std::unique_ptr<Replacement>> write(FileSystem& files, const std::string& target,
                                                    std::span<const uint8_t> bytes);

  Replacement(const Replacement&) = delete;
  Replacement& operator=(const Replacement&) = delete;
  // Removes the temporary unless it was put in place.
  ~Replacement();

  const std::string& temporaryPath() const { return temp_->path(); }

  // Renames the temporary over `target` (one atomic step) and flushes the directory.
  // A failed rename removes the temporary; a failed flush leaves the new file in place.
  Status putInPlace(const std::string& target);

 private:
  Replacement(FileSystem& files, std::unique_ptr<WritableFile> temp)
      : files_(files), temp_(std::move(temp)) {}

  FileSystem& files_;
  // Kept open (closed, but still held) until the temporary is gone or in place.
  std::unique_ptr<WritableFile> temp_;
  bool pending_ = true;
};

// Removes the left-over temporaries beside `temp` (which stays): see Replacement::write.
// A failure costs only disk space and is not reported.
void removeLeftOverTemporaries(FileSystem& files, const std::string& temp);

}  // namespace tollwick::platform
