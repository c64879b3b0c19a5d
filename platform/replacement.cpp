#include "platform/replacement.h"

#include <utility>
#include <vector>

#include "platform/ansi_text.h"
#include "platform/temporary_names.h"

namespace tollwick::platform {
namespace {

// The directory part of a program path, with its final separator ("" for none).
std::string directoryOf(const std::string& path) {
  const size_t cut = findLastCharacterOf(path, "\\/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

}  // namespace

void removeLeftOverTemporaries(FileSystem& files, const std::string& temp) {
  const std::string directory = directoryOf(temp);
  const std::string own = temp.substr(directory.size());
  const Result<std::vector<DirEntry>> entries = files.listDirectory(directory);
  if (!entries.ok()) return;
  for (const DirEntry& entry : *entries) {
    if (entry.kind == EntryKind::kHiddenFile && entry.name != own && isTemporaryName(entry.name)) {
      (void)files.removeTemporary(directory + entry.name);
    }
  }
}

Result<std::unique_ptr<Replacement>> Replacement::write(FileSystem& files,
                                                        const std::string& target,
                                                        std::span<const uint8_t> bytes) {
  Result<std::unique_ptr<WritableFile>> temp = files.createTempBeside(target);
  if (!temp.ok()) return temp.status();
  std::unique_ptr<Replacement> replacement(new Replacement(files, std::move(temp).value()));
  removeLeftOverTemporaries(files, replacement->temporaryPath());
  // A failed sync is never retried (its data may be lost).
  WritableFile& file = *replacement->temp_;
  Status status = file.append(bytes);
  if (status.ok()) status = file.sync();
  Status closed = file.close();
  if (status.ok()) status = std::move(closed);
  if (!status.ok()) return status;  // the destructor removes the temporary
  return replacement;
}

Replacement::~Replacement() {
  if (pending_) (void)files_.remove(temp_->path());
}

Status Replacement::putInPlace(const std::string& target, const IsTheFileRead& isTheFileRead) {
  Status status = putFileInPlace(files_, temp_->path(), target, isTheFileRead);
  // After a failure the temporary's name holds the new file, the file swapped out, or
  // nothing: none of them is kept.
  if (status.ok()) pending_ = false;
  return status;
}

bool sameFileAsRead(const FileIdentity& read, const FileIdentity& now, bool displaced) {
  return now.device == read.device && now.file == read.file && now.size == read.size &&
         now.modifiedNs == read.modifiedNs && (displaced || now.changedNs == read.changedNs);
}

Status putFileInPlace(FileSystem& files, const std::string& from, const std::string& to,
                      const IsTheFileRead& isTheFileRead) {
  if (isTheFileRead) {
    const Result<bool> same = isTheFileRead(to, false);
    if (!same.ok()) return same.status();
    if (!*same) return Status(Code::kChanged, to);
    const Status swapped = files.exchange(from, to);
    if (swapped.ok()) {
      // A save may have landed between the check and the swap: the file swapped out
      // must still be the one read, or it goes back.
      const Result<bool> stillSame = isTheFileRead(from, true);
      if (!stillSame.ok() || !*stillSame) {
        if (!files.exchange(from, to).ok()) {
          // Where the swap back fails, the save still wins: it replaces the new file.
          (void)files.rename(from, to);
        }
        (void)files.syncDirectoryOf(to);
        return stillSame.ok() ? Status(Code::kChanged, to) : stillSame.status();
      }
      // The new file is in place. The old one, now under the temporary name, which
      // nobody else knows it by, goes; one that will not go is no failure of the
      // replacement: the next replacement's clean-up in this directory takes it.
      if (!files.removeTemporary(from).ok()) (void)files.remove(from);
      return files.syncDirectoryOf(to);
    }
    // Without the exchange (or with `to` gone meanwhile) the rename follows the check.
    if (swapped != Code::kNotSupported && swapped != Code::kNotFound) return swapped;
  }
  if (Status renamed = files.rename(from, to); !renamed.ok()) return renamed;
  return files.syncDirectoryOf(to);
}

}  // namespace tollwick::platform
