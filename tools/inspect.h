#pragma once
// inspect: what a protected game file holds, without changing it. Every file is read
// through the file layer, unprotected in its in-memory image only, and forgotten
// without being committed.

#include <iosfwd>
#include <string>

namespace tollwick::kit {

// Writes the report on `path` (a host path) to `out`: whether the file unprotects, with
// the fixed key or with the key text of "ZelkorSystemHeader.MSF" beside it, and which
// signature it carries (compared with the system signature from "ZELKORSystemData.DED"
// beside it). For a character file also its count, the slots in use, live and dead
// records with their names, the dead bytes, and what a repair would keep. Returns 0
// when the file unprotects, 1 when it does not.
int inspectFile(const std::string& path, std::ostream& out);

}  // namespace tollwick::kit
