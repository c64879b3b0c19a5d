// The runtime's file-system statements over the FileSystem seam.

#include "runtime/file_commands.h"

#include <algorithm>

#include "base/text.h"
#include "platform/seam.h"
#include "platform/temporary_names.h"
#include "runtime/run_time_error.h"

namespace tollwick {
namespace {

using platform::DirEntry;
using platform::EntryKind;
using platform::FileSystem;
using platform::FsStatus;

FileSystem& fs() { return platform::use<FileSystem>(); }

// A pattern split into its directory (with the final separator, or "") and its name.
struct SplitPath {
  std::string directory;
  std::string name;
};

SplitPath splitPath(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  if (cut == std::string::npos && path.size() >= 2 && path[1] == ':') cut = 1;  // "C:name"
  if (cut == std::string::npos) return {"", path};
  return {path.substr(0, cut + 1), path.substr(cut + 1)};
}

bool hasWildcards(std::string_view name) {
  return name.find_first_of("*?") != std::string_view::npos;
}

// Every entry matching `pattern` whose kind passes `wanted`, sorted by name so that the
// first match does not depend on the host's directory order. A missing directory or
// file matches nothing; other failures are run-time errors.
template <class Wanted>
std::vector<DirEntry> matchingEntries(const std::string& pattern, Wanted wanted) {
  std::vector<DirEntry> found;
  const SplitPath split = splitPath(pattern);
  if (split.name.empty()) return found;
  FsStatus status;
  if (!hasWildcards(split.name)) {
    DirEntry entry;
    status = fs().lookup(pattern, entry);
    if (status == FsStatus::kOk && wanted(entry.kind)) found.push_back(std::move(entry));
  } else {
    std::vector<DirEntry> entries;
    status = fs().listDirectory(split.directory, entries);
    for (DirEntry& entry : entries) {
      if (wanted(entry.kind) && fileNameMatches(entry.name, split.name)) {
        found.push_back(std::move(entry));
      }
    }
    std::sort(found.begin(), found.end(),
              [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  }
  if (status == FsStatus::kNotFound || status == FsStatus::kPathNotFound) return {};
  raiseIfFailed(status);
  return found;
}

bool isNormalFile(EntryKind kind) { return kind == EntryKind::kNormalFile; }

// Removes the hidden temporary files that interrupted runs left beside `temp` (which
// was just created and stays), so that crashes do not cost disk space for long. Only
// names of the temporaries' own pattern are touched. A failure here costs nothing but
// that space: it is not reported.
void removeLeftOverTemporaries(const std::string& temp) {
  const SplitPath split = splitPath(temp);
  std::vector<DirEntry> entries;
  if (fs().listDirectory(split.directory, entries) != FsStatus::kOk) return;
  for (const DirEntry& entry : entries) {
    if (entry.kind == EntryKind::kHiddenFile && entry.name != split.name &&
        platform::isTemporaryName(entry.name)) {
      (void)fs().remove(split.directory + entry.name);
    }
  }
}

// Writes `bytes` into a new temporary file beside the file `target` names (created
// with its attributes), flushed and closed; the temporary file's path in `tempPath`.
// On a failure it is removed again and the status returned.
FsStatus writeTemporaryBeside(const std::string& target, std::span<const uint8_t> bytes,
                              std::string& tempPath) {
  std::unique_ptr<platform::WritableFile> temp;
  FsStatus status = fs().createTempBeside(target, temp);
  if (status != FsStatus::kOk) return status;
  tempPath = temp->path();
  removeLeftOverTemporaries(tempPath);
  // Every step is checked; a failed sync is never retried (its data may be lost).
  status = temp->append(bytes);
  if (status == FsStatus::kOk) status = temp->sync();
  const FsStatus closed = temp->close();
  if (status == FsStatus::kOk) status = closed;
  if (status != FsStatus::kOk) (void)fs().remove(tempPath);
  return status;
}

// The bytes of `from` written beside the file `to` names, replacing it there when it is
// still the file read; `from` is removed afterwards. For a `to` on another file system.
void copyOverFileRead(const std::string& from, const std::string& to, const ReadStamp& stamp) {
  platform::ByteBuffer bytes;
  raiseIfFailed(fs().readFile(from, bytes));
  std::string temp;
  raiseIfFailed(writeTemporaryBeside(to, bytes, temp));
  bytes = platform::ByteBuffer();
  try {
    if (!stillTheFileRead(to, stamp)) raiseError(err::kPathFileAccessError);
    raiseIfFailed(fs().rename(temp, to));
  } catch (const RunTimeError&) {
    (void)fs().remove(temp);
    throw;
  }
  raiseIfFailed(fs().syncDirectoryOf(to));
  raiseIfFailed(fs().remove(from));
  raiseIfFailed(fs().syncDirectoryOf(from));
}

}  // namespace

int32_t errorNumberOf(FsStatus status) {
  switch (status) {
    case FsStatus::kOk:
      return 0;
    case FsStatus::kNotFound:
      return err::kFileNotFound;
    case FsStatus::kPathNotFound:
      return err::kPathNotFound;
    case FsStatus::kAccessDenied:
      return err::kPermissionDenied;
    case FsStatus::kExists:
      return err::kFileAlreadyExists;
    case FsStatus::kNoSpace:
      return err::kDiskFull;
    case FsStatus::kIoError:
      return err::kDeviceIoError;
    case FsStatus::kTooManyOpen:
      return err::kTooManyFiles;
    case FsStatus::kAccessError:
    case FsStatus::kCrossDevice:
      break;
  }
  return err::kPathFileAccessError;
}

std::string sysAddBackslash(const std::string& directory) {
  if (!directory.empty() && directory.back() == '\\') return directory;
  return directory + '\\';
}

void raiseIfFailed(FsStatus status) {
  if (status != FsStatus::kOk) raiseError(errorNumberOf(status));
}


std::string dirFirst(const std::string& pattern) {
  const std::vector<DirEntry> found = matchingEntries(pattern, isNormalFile);
  return found.empty() ? std::string() : found.front().name;
}

bool pathMatchesAnything(const std::string& pattern) {
  return !matchingEntries(pattern, [](EntryKind kind) {
            return kind == EntryKind::kNormalFile || kind == EntryKind::kDirectory;
          }).empty();
}

void killFiles(const std::string& pattern) {
  const std::vector<DirEntry> found = matchingEntries(pattern, isNormalFile);
  if (found.empty()) raiseError(err::kFileNotFound);
  const std::string directory = splitPath(pattern).directory;
  // A file its owner made read-only is never deleted (Windows' DeleteFile refuses it
  // too). Every match is checked before the first deletion: a refusal deletes nothing.
  for (const DirEntry& entry : found) {
    bool writable = true;
    raiseIfFailed(fs().mayWrite(directory + entry.name, writable));
    if (!writable) raiseError(err::kPathFileAccessError);
  }
  for (const DirEntry& entry : found) {
    // Refused also for a file a program holds open (70).
    const FsStatus status = fs().remove(directory + entry.name);
    if (status == FsStatus::kAccessDenied || status == FsStatus::kAccessError) {
      raiseError(err::kPermissionDenied);
    }
    raiseIfFailed(status);
  }
  raiseIfFailed(fs().syncDirectoryOf(pattern));
}

void fileCopy(const std::string& source, const std::string& target) {
  platform::ByteBuffer bytes;
  raiseIfFailed(fs().readFile(source, bytes));
  writeFileAtomically(target, bytes);
}

void nameFile(const std::string& from, const std::string& to) {
  raiseIfFailed(fs().rename(from, to));
  raiseIfFailed(fs().syncDirectoryOf(to));
}

void writeFileAtomically(const std::string& path, std::span<const uint8_t> bytes) {
  std::string temp;
  raiseIfFailed(writeTemporaryBeside(path, bytes, temp));
  const FsStatus status = fs().rename(temp, path);
  if (status != FsStatus::kOk) {
    (void)fs().remove(temp);  // the original stays as it was
    raiseIfFailed(status);
  }
  // The new file is in place; only its durability is in question from here on.
  raiseIfFailed(fs().syncDirectoryOf(path));
}

void replaceFileRead(const std::string& from, const std::string& to, const ReadStamp& stamp) {
  try {
    bool writable = true;
    raiseIfFailed(fs().mayWrite(to, writable));
    // Never replaced behind the back of an owner who made it read-only.
    if (!writable) raiseError(err::kPathFileAccessError);
    raiseIfFailed(fs().adoptAttributes(from, to));
    // Checked as late as possible: a save the game made since the file was read would
    // otherwise be lost under the copy of the older contents.
    if (!stillTheFileRead(to, stamp)) raiseError(err::kPathFileAccessError);
    const FsStatus status = fs().rename(from, to);
    if (status == FsStatus::kCrossDevice) {
      copyOverFileRead(from, to, stamp);
      return;
    }
    raiseIfFailed(status);
  } catch (const RunTimeError&) {
    (void)fs().remove(from);
    throw;
  }
  raiseIfFailed(fs().syncDirectoryOf(to));
}

}  // namespace tollwick
