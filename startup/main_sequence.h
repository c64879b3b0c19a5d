#pragma once
// The start-up sequence: the whole run of the program, from naming the resource library
// to "Done!". It reaches the routines of the other subsystems through StartupRoutines,
// so that it can be run with the real routines (realStartupRoutines) or with doubles.

#include <cstdint>
#include <functional>
#include <string>

#include "repair/fix_character_file.h"
#include "system/load_result.h"
#include "system/system_header_record.h"

namespace tollwick {

struct StartupRoutines {
  // Reads the installation settings (and carries out a wipe request). Result ignored.
  std::function<bool()> sarnReadRegistry;
  // kLoaded = go on; anything else = failure.
  std::function<LoadResult()> sysLoadMasterSystemHeader;
  // Loads the system of the given directory (by reference).
  std::function<LoadResult(std::string& systemDirectory)> sysLoadSystem;
  // Rebuilds the character file. Result ignored.
  std::function<RepairResult(SystemHeaderRecord& record)> sysFixBloatedCharacterFile;
};

// The routines of the real program.
StartupRoutines realStartupRoutines();

// Runs the start-up sequence. Returns when the program ends normally; where the program
// ends at once it calls platform::Process::endAtOnce and does not return.
void Main(const StartupRoutines& routines);

// When another copy of the program runs on the application directory: the box that
// says so, and the program ends at once. Returns otherwise, holding the lock for the
// rest of the run.
void refuseSecondCopy();

// The question of the start-up error trap for an error of `description`.
std::string startupErrorQuestion(const std::string& description);

}  // namespace tollwick
