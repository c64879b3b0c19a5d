#pragma once
// The program's own modules: shared libraries installed beside the executable that hold
// what only some runs use (the desktop's message boxes, the sound output). A module is
// opened with the dynamic loader when what it provides is first needed, so a run that
// shows no window and plays no sound maps none of the desktop's libraries.

#include <string>

#include "platform/dynamic_library.h"
#include "platform/status.h"

namespace tollwick::platform {

// The modules' file names, as the build names them.
inline constexpr const char* kDialogModule = "tollwick-dialog-gtk.so";
inline constexpr const char* kSoundModule = "tollwick-sound-pulse.so";

// The export `entry` of the module `fileName` beside the running executable (its
// symbolic links resolved). Code::kNotFound, its context saying why, when the module is
// missing, cannot be loaded (a library it needs is not installed) or lacks that export. An entry's
// name carries the version of the interface it returns, so a module of another build
// lacks it rather than being called wrongly. A module once loaded stays loaded for the
// life of the process: what it made may be in use until the very end, and a toolkit
// cannot be unloaded.
Result<SymbolAddress> programModuleEntry(const std::string& fileName, const char* entry);

}  // namespace tollwick::platform
