#pragma once
// The runtime's file-system statements on program paths (Windows-style texts, mapped at
// the platform boundary): directory search, delete by pattern, copy, rename. Failures
// are run-time errors.

#include <string>

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

}  // namespace tollwick
