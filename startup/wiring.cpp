// The start-up sequence wired to the real routines of every subsystem.

#include "repair/fix_character_file.h"
#include "settings/read_registry.h"
#include "startup/main_sequence.h"
#include "system/master_system_header.h"
#include "system/system_load.h"

namespace tollwick {

StartupRoutines realStartupRoutines() {
  StartupRoutines routines;
  routines.sarnReadRegistry = [] { return sarnReadRegistry(); };
  routines.sysLoadMasterSystemHeader = [] { return sysLoadMasterSystemHeader(); };
  routines.sysLoadSystem = [](std::string& systemDirectory) {
    return sysLoadSystem(systemDirectory);
  };
  routines.sysFixBloatedCharacterFile = [](SystemHeaderRecord& record) {
    return sysFixBloatedCharacterFile(record);
  };
  return routines;
}

}  // namespace tollwick
