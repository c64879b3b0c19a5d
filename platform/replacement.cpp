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

Status Replacement::putInPlace(const std::string& target) {
  Status status = files_.rename(temp_->path(), target);
  if (!status.ok()) return status;  // the destructor removes the temporary
  pending_ = false;
  return files_.syncDirectoryOf(target);
}

}  // namespace tollwick::platform
