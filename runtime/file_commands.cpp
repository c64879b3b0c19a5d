// The runtime's file-system statements over the FileSystem seam.

#include "runtime/file_commands.h"

#include <algorithm>

#include "platform/ansi_text.h"
#include "platform/replacement.h"
#include "platform/seam.h"
#include "runtime/run_time_error.h"
#include "runtime/status_error.h"

namespace tollwick {
namespace {

using platform::Code;
using platform::DirEntry;
using platform::EntryKind;
using platform::FileSystem;
using platform::Result;
using platform::Status;

FileSystem& fs() { return platform::use<FileSystem>(); }

// A pattern split into its directory (with the final separator, or "") and its name.
struct SplitPath {
  std::string directory;
  std::string name;
};

SplitPath splitPath(const std::string& path) {
  size_t cut = findLastCharacterOf(path, "\\/");
  if (cut == std::string::npos && path.size() >= 2 && path[1] == ':') cut = 1;  // "C:name"
  if (cut == std::string::npos) return {"", path};
  return {path.substr(0, cut + 1), path.substr(cut + 1)};
}

bool hasWildcards(std::string_view name) {
  return findFirstCharacterOf(name, "*?") != std::string_view::npos;
}

// Every entry matching `pattern` whose kind passes `wanted`, sorted by name so that the
// first match does not depend on the host's directory order. A missing directory or
// file matches nothing; other failures are run-time errors.
template <class Wanted>
std::vector<DirEntry> matchingEntries(const std::string& pattern, Wanted wanted) {
  std::vector<DirEntry> found;
  const SplitPath split = splitPath(pattern);
  if (split.name.empty()) return found;
  Status status;
  if (!hasWildcards(split.name)) {
    Result<DirEntry> entry = fs().lookup(pattern);
    status = entry.status();
    if (entry.ok() && wanted(entry->kind)) found.push_back(std::move(entry).value());
  } else {
    Result<std::vector<DirEntry>> entries = fs().listDirectory(split.directory);
    status = entries.status();
    if (entries.ok()) {
      for (DirEntry& entry : *entries) {
        if (wanted(entry.kind) && fileNameMatches(entry.name, split.name)) {
          found.push_back(std::move(entry));
        }
      }
    }
    std::sort(found.begin(), found.end(),
              [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  }
  if (status == Code::kNotFound || status == Code::kPathNotFound) return {};
  raiseIfFailed(status);
  return found;
}

bool isNormalFile(EntryKind kind) { return kind == EntryKind::kNormalFile; }

// The check a replacement makes that the file it replaces is still the one read.
platform::IsTheFileRead checkOf(const ReadStamp& stamp) {
  return [stamp](const std::string& path, bool displaced) {
    return holdsTheFileRead(path, stamp, displaced);
  };
}

// A replacement's failure: a file that changed since it was read is error 75.
void raiseIfNotInPlace(const Status& status) {
  if (status == Code::kChanged) raiseError(err::kPathFileAccessError);
  raiseIfFailed(status);
}

// The bytes of `from` written beside the file `to` names, replacing it there when it is
// still the file read; `from` is removed afterwards. For a `to` on another file system.
void copyOverFileRead(const std::string& from, const std::string& to, const ReadStamp& stamp) {
  platform::ByteBuffer bytes = valueOrRaise(fs().readFile(from, kLongestGameFile));
  const std::unique_ptr<platform::Replacement> copy =
      valueOrRaise(platform::Replacement::write(fs(), to, bytes));
  bytes = platform::ByteBuffer();
  raiseIfNotInPlace(copy->putInPlace(to, checkOf(stamp)));
  raiseIfFailed(fs().remove(from));
  raiseIfFailed(fs().syncDirectoryOf(from));
}

// True when `pattern`, joined to a folder, names only entries of that folder: no
// component that climbs out (".." or any other name of dots alone, which Windows also
// reads as a climb), no root, no drive, no device or stream name.
bool staysInFolder(const std::string& pattern) {
  if (pattern.empty() || pattern.front() == '\\' || pattern.front() == '/') return false;
  if (pattern.find(':') != std::string::npos) return false;
  size_t start = 0;
  for (;;) {
    const size_t end = findFirstCharacterOf(pattern, "\\/", start);
    const std::string_view component =
        std::string_view(pattern).substr(start, end == std::string::npos ? end : end - start);
    // Windows drops a component's trailing dots and spaces: "..", "... " and ". ." all
    // climb or stand for the folder itself.
    if (!component.empty() && component.find_first_not_of(". ") == std::string_view::npos &&
        component != ".") {
      return false;
    }
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

}  // namespace

std::string sysAddBackslash(const std::string& directory) {
  // The last character, not the last byte: "表" ends in the byte of a backslash.
  if (endsWithCharacter(directory, '\\')) return directory;
  return directory + '\\';
}

std::string firstFileMatching(const std::string& pattern) {
  const std::vector<DirEntry> found = matchingEntries(pattern, isNormalFile);
  return found.empty() ? std::string() : found.front().name;
}

bool pathMatchesAnything(const std::string& pattern) {
  return !matchingEntries(pattern, [](EntryKind kind) {
            return kind == EntryKind::kNormalFile || kind == EntryKind::kDirectory;
          }).empty();
}

void deleteFilesMatching(const std::string& pattern) {
  const std::vector<DirEntry> found = matchingEntries(pattern, isNormalFile);
  if (found.empty()) raiseError(err::kFileNotFound);
  const std::string directory = splitPath(pattern).directory;
  // A file its owner made read-only is never deleted (Windows' DeleteFile refuses it
  // too). Every match is checked before the first deletion: a refusal deletes nothing.
  for (const DirEntry& entry : found) {
    if (!valueOrRaise(fs().mayDelete(directory + entry.name))) {
      raiseError(err::kPathFileAccessError);
    }
  }
  for (const DirEntry& entry : found) {
    // Refused also for a file a program holds open (70).
    const Status status = fs().remove(directory + entry.name);
    if (status == Code::kAccessDenied || status == Code::kUnusable) {
      raiseError(err::kPermissionDenied);
    }
    raiseIfFailed(status);
  }
  raiseIfFailed(fs().syncDirectoryOf(pattern));
}

void deleteFilesMatchingIn(const std::string& folder, const std::string& pattern) {
  if (!staysInFolder(pattern)) raiseError(err::kBadFileNameOrNumber);
  deleteFilesMatching(folder + pattern);
}

void fileCopy(const std::string& source, const std::string& target) {
  const platform::ByteBuffer bytes = valueOrRaise(fs().readFile(source, kLongestGameFile));
  writeFileAtomically(target, bytes);
}

void renameFile(const std::string& from, const std::string& to) {
  raiseIfFailed(fs().rename(from, to));
  raiseIfFailed(fs().syncDirectoryOf(to));
}

void writeFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                         const ReadStamp* expected) {
  const std::unique_ptr<platform::Replacement> replacement =
      valueOrRaise(platform::Replacement::write(fs(), path, bytes));
  // Whatever the game saved since the file was read must not be lost under the older
  // contents: checked when the new file takes its place.
  raiseIfNotInPlace(replacement->putInPlace(path, expected ? checkOf(*expected) : nullptr));
}

void replaceFileRead(const std::string& from, const std::string& to, const ReadStamp& stamp) {
  try {
    // Never replaced behind the back of an owner who made it read-only.
    if (!valueOrRaise(fs().mayWrite(to))) raiseError(err::kPathFileAccessError);
    raiseIfFailed(fs().adoptAttributes(from, to));
    // Only over the file that was read: a save the game made since would otherwise be
    // lost under the copy of the older contents.
    const Status status = platform::putFileInPlace(fs(), from, to, checkOf(stamp));
    if (status == Code::kCrossDevice) {
      copyOverFileRead(from, to, stamp);
      return;
    }
    raiseIfNotInPlace(status);
  } catch (const RunTimeError&) {
    (void)fs().remove(from);
    throw;
  }
}

}  // namespace tollwick
