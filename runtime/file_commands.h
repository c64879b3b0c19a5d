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

namespace tollwick {

// First name (file name only, no directory) of a normal file matching `pattern`
// (wildcards * and ? in the last component); "" when none matches. Hidden and system
// files, directories and volume labels never match. Error 70 when the search is refused.
std::string dirFirst(const std::string& pattern);

// True when anything (normal file or directory) matches `pattern`.
bool pathMatchesAnything(const std::string& pattern);

// Deletes every normal file matching `pattern`. Error 53 when nothing matches, 70 when
// a deletion is refused.
void killFiles(const std::string& pattern);

// Copies `source` to `target` (replaced atomically when it exists).
void fileCopy(const std::string& source, const std::string& target);

// Renames `from` to `to` atomically, replacing `to` when it exists; durable on return.
void nameFile(const std::string& from, const std::string& to);

// Writes `bytes` as the whole new content of `path` in one atomic replacement: a
// temporary file beside it, written, flushed and closed, renamed over `path`, the
// directory flushed. On a failure before the rename the temporary file is removed and
// `path` is untouched. Creates `path` when it is missing.
void writeFileAtomically(const std::string& path, std::span<const uint8_t> bytes);

// `directory` ending in a backslash: unchanged when it already ends in one, else with
// one added ("" gives "\\"). The game's own path helper, used from the settings
// reader on.
std::string sysAddBackslash(const std::string& directory);

// The run-time error number of a file-system failure (0 for kOk).
int32_t errorNumberOf(platform::FsStatus status);

// Raises the run-time error of a file-system failure; does nothing for kOk.
void raiseIfFailed(platform::FsStatus status);


}  // namespace tollwick
