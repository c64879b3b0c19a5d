#pragma once
// The runtime's file-system statements on program paths (Windows-style texts, mapped at
// the platform boundary): directory search, delete by pattern, copy, rename. Failures
// are run-time errors.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/text.h"
#include "platform/file_system.h"
#include "runtime/binary_file.h"

namespace tollwick {

// First name (file name only, no directory) of a normal file matching `pattern`
// (wildcards * and ? in the last component); "" when none matches. Hidden and system
// files, directories and volume labels never match. Error 70 when the search is refused.
std::string firstFileMatching(const std::string& pattern);

// True when anything (normal file or directory) matches `pattern`.
bool pathMatchesAnything(const std::string& pattern);

// Deletes every normal file matching `pattern`. Error 53 when nothing matches, 75 when
// one of them is read-only (then nothing is deleted), 70 when a deletion is refused (a
// file another program holds open).
void deleteFilesMatching(const std::string& pattern);

// Deletes every normal file matching `pattern` in `folder` (a path ending in a
// separator), as deleteFilesMatching does. A pattern that would reach outside `folder` (a ".."
// component, a root, a drive) deletes nothing: error 52.
void deleteFilesMatchingIn(const std::string& folder, const std::string& pattern);

// Copies `source` to `target` (replaced atomically when it exists).
void fileCopy(const std::string& source, const std::string& target);

// Renames `from` to `to` atomically, replacing `to` when it exists; durable on return.
void renameFile(const std::string& from, const std::string& to);

// Writes `bytes` as the whole new content of `path` in one atomic replacement: a
// temporary file beside it, written, flushed and closed, renamed over `path`, the
// directory flushed. With `expected`, only while `path` is still the file it describes
// (checked just before the rename): error 75 otherwise. On a failure before the rename
// the temporary file is removed and `path` is untouched. Creates `path` when it is
// missing. Temporary files that interrupted runs left in that directory, and that no
// live process holds, are removed on the way (platform/replacement.h).
void writeFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                         const ReadStamp* expected = nullptr);

// Puts the file `from` in place of `to` in one atomic step, provided `to` is still the
// file `stamp` describes and one the program may change; `from` first takes the
// permissions of `to`, and its owner and group as far as the process may set them.
// When `to` lies on another file system (a link into one), the bytes of `from` are
// written beside the file `to` names and replace it there, and `from` is removed. On
// a failure nothing is replaced and `from` is removed: error 75 when `to` changed since
// it was read or is read-only, otherwise the file system's error.
void replaceFileRead(const std::string& from, const std::string& to, const ReadStamp& stamp);

// `directory` ending in a backslash: unchanged when it already ends in one, else with
// one added ("" gives "\\"). The game's own path helper, used from the settings
// reader on.
std::string sysAddBackslash(const std::string& directory);

}  // namespace tollwick
