#pragma once
// modZELKORSystem: the system data file "ZELKORSystemData.DED", which yields the system
// signature, and the check of every data file of the system against it.

#include <array>
#include <cstdint>

#include "system/load_result.h"

namespace tollwick {

inline constexpr const char* kSystemDataFileName = "ZELKORSystemData.DED";

// The data files of a system, in the order they are checked.
inline constexpr std::array<const char*, 6> kSystemDataFiles = {
    "ZELKORCharacters.DED",   "ZELKORMazeItems.DED", "ZELKORMazeItemIndex.DED",
    "ZELKORMazeMonsters.DED", "ZELKORDungeon.DED",   "ZELKORMultiConfig.DED"};

// Works out systemState().systemSignature from the signature text of the system data
// file (position P from position 25, a 16-bit length L at P, L bytes at P + 2), then
// unprotects and protects again, with that signature, each data file present, in
// order. With `resetSignature` the signature is set to 0 before the data files.
//
// Results: 0 every data file present passed; -1 a data file is absent while the
// signature is not 0; -2 the system data file or a data file could not be unprotected
// (a foreign signature among other reasons), or a run-time error was reported
// ("modZELKORSystem:sysLoadSystemDataFile!"), for instance P below 1, a negative L, or
// either running past the end of the file; -3 a file could not be protected again.
// The run stops at the first failing file: earlier files are rewritten, later ones
// untouched.
LoadResult sysLoadSystemDataFile(bool resetSignature = false);

}  // namespace tollwick
