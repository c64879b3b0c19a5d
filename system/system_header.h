#pragma once
// modZELKORSystem: the system header "ZelkorSystemHeader.MSF" of a game system, whose
// first three texts make the key text of the system's protected files.

#include <cstdint>
#include <string>

#include "system/load_result.h"
#include "system/system_header_record.h"

namespace tollwick {

inline constexpr const char* kSystemHeaderName = "ZelkorSystemHeader.MSF";

// Loads the system header at `path` (protected with the fixed key) into `record`, in
// file order from position 13: texts 1 to 7 (each a 32-bit length and its bytes),
// values 1 to 14 (16-bit), texts 8 to 12, then ten 32-bit trailer values into
// systemState().headerTrailer. The record's system directory is not touched.
//
// Results: 0 loaded; -1 no file at `path`; -2 the file could not be unprotected or
// protected again, or a run-time error was reported
// ("modZELKORSystem:sysLoadSystemHeader!"), for instance a negative length or one that
// runs past the end of the file. The record changes only once every item was read.
LoadResult sysLoadSystemHeader(const std::string& path, SystemHeaderRecord& record);

}  // namespace tollwick
