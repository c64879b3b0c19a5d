#pragma once
// A file's new content on its way in: written to a hidden temporary beside the file,
// flushed and closed, and held there (a live process's temporary is never taken by
// another run's clean-up) until it is put in place or dropped. Shared by the runtime's
// binary files and the registry file of a Wine prefix.
//
// Whatever replaces a file that was read replaces it only while it is still that file:
// a save another program (the game, Wine) made meanwhile is never lost under older
// contents.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "platform/file_system.h"
#include "platform/status.h"

namespace tollwick::platform {

// Whether the file at `path` is the one that was read, and so may be replaced.
// `displaced` is true for a file an exchange has just moved out of the target's place:
// the exchange set its change time, so only its device, file number, size and
// modification time (or its bytes) can tell. A missing file is the one read when none
// existed when it was read.
using IsTheFileRead = std::function<Result<bool>(const std::string& path, bool displaced)>;

// True when `now` is the file whose identity was `read`: the same device, file number,
// size and modification time, and the same change time unless `displaced`.
bool sameFileAsRead(const FileIdentity& read, const FileIdentity& now, bool displaced);

// Puts the file `from` in place of `to` in one atomic step and flushes the directory,
// provided `to` is still the file `isTheFileRead` accepts (no check when it is empty).
// kChanged when it is not: nothing is replaced and `from` keeps the new file. Where the
// file system can exchange two files, `to` is checked, the two are swapped, and the
// file swapped out is checked again: when a save landed in between it is swapped back,
// so no moment remains in which a save is lost. The file swapped out is then removed
// (where that fails, it is left for a later clean-up: the replacement has happened).
// Elsewhere `to` is checked just before a plain rename. A failure leaves `to` as it was,
// except a failed flush of the directory, which leaves the new file in place.
Status putFileInPlace(FileSystem& files, const std::string& from, const std::string& to,
                      const IsTheFileRead& isTheFileRead);

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

  // Puts the temporary in place of `target` (putFileInPlace). A failure leaves `target`
  // as it was and the destructor removes the temporary; a failed flush of the directory
  // leaves the new file in place.
  Status putInPlace(const std::string& target, const IsTheFileRead& isTheFileRead = {});

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
