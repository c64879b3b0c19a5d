#include "platform/replacement.h"

#include <vector>

#include "platform/temporary_names.h"

namespace tollwick::platform {
namespace {

// The directory part of a program path, with its final separator ("" for none).
std::string directoryOf(const std::string& path) {
  const size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

}  // namespace

void removeLeftOverTemporaries(FileSystem& files, const std::string& temp) {
  const std::string directory = directoryOf(temp);
  const std::string own = temp.substr(directory.size());
  std::vector<DirEntry> entries;
  if (files.listDirectory(directory, entries) != FsStatus::kOk) return;
  for (const DirEntry& entry : entries) {
    if (entry.kind == EntryKind::kHiddenFile && entry.name != own && isTemporaryName(entry.name)) {
      (void)files.removeTemporary(directory + entry.name);
    }
  }
}

FsStatus Replacement::write(FileSystem& files, const std::string& target,
                            std::span<const uint8_t> bytes, std::unique_ptr<Replacement>& out) {
  std::unique_ptr<WritableFile> temp;
  FsStatus status = files.createTempBeside(target, temp);
  if (status != FsStatus::kOk) return status;
  std::unique_ptr<Replacement> replacement(new Replacement(files, std::move(temp)));
  removeLeftOverTemporaries(files, replacement->temporaryPath());
  // A failed sync is never retried (its data may be lost).
  WritableFile& file = *replacement->temp_;
  status = file.append(bytes);
  if (status == FsStatus::kOk) status = file.sync();
  const FsStatus closed = file.close();
  if (status == FsStatus::kOk) status = closed;
  if (status != FsStatus::kOk) return status;  // the destructor removes the temporary
  out = std::move(replacement);
  return FsStatus::kOk;
}

Replacement::~Replacement() {
  if (pending_) (void)files_.remove(temp_->path());
}

FsStatus Replacement::putInPlace(const std::string& target) {
  const FsStatus status = files_.rename(temp_->path(), target);
  if (status != FsStatus::kOk) return status;  // the destructor removes the temporary
  pending_ = false;
  return files_.syncDirectoryOf(target);
}

}  // namespace tollwick::platform
