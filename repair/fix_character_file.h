#pragma once
// modSarnSystem: the repair of a bloated character file.

#include <cstdint>

#include "system/system_header_record.h"

namespace tollwick {

// What the repair returns; the numbers are its result codes.
enum class RepairResult : int16_t {
  kNothingDone = 0,      // no character file, or an error reported: nothing replaced
  kRepaired = -1,        // the repair ran to the end
  kNotUnprotected = -2,  // the character file could not be unprotected (3257 shown)
  kNotProtected = -3,    // protecting a file failed (reported by the protected-file layer)
};

// Names of the character file and of the compacted copy built beside it.
inline constexpr const char* kCharacterFileName = "ZELKORCharacters.DED";
inline constexpr const char* kCharacterTempFileName = "ZELKORCharactersTemp.DED";

// Rebuilds the character file of the current system from its live records, in index
// order, into "ZELKORCharactersTemp.DED", protects it with the system signature and
// renames it over "ZELKORCharacters.DED" (atomic: the character file is at every moment
// the complete old or the complete new file). `record` is the loaded system header
// record whose key text protects both files.
//
// Results: -1 the repair ran to the end; 0 no character file (nothing done, no
// message) or a run-time error reported ("modSarnSystem:sysFixBloatedCharacterFile!"),
// nothing replaced; -2 the character file could not be unprotected (game string 3257
// shown); -3 protecting a file failed (reported by the protected-file layer).
// The new count is the number of records kept. A slot whose record does not lie
// wholly inside the file is error 62 and stops the repair.
RepairResult sysFixBloatedCharacterFile(SystemHeaderRecord& record);

}  // namespace tollwick
