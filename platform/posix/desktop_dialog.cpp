// The desktop's message boxes on Linux come from the dialog module (GTK 3), loaded only
// when a desktop session asks for its first box: a run answered otherwise maps no part
// of the toolkit. A module that is missing or cannot be loaded (the toolkit is not
// installed) leaves the run without windows, said once on standard error; the start-up
// code then falls back as for a display it cannot open.

#include <iostream>
#include <memory>
#include <string>

#include "platform/dialog.h"
#include "platform/posix/program_module.h"

namespace tollwick::platform {

std::unique_ptr<Dialog> makeDesktopDialog() {
  using MakeDialog = Dialog* (*)();
  std::string error;
  const SymbolAddress entry =
      programModuleEntry(kDialogModule, "tollwick_desktop_dialog_v2", error);
  if (entry == nullptr) {
    std::cerr << "tollwick: message boxes cannot be shown as windows: " << error << "\n";
    return nullptr;
  }
  // Null when the toolkit cannot open the display.
  return std::unique_ptr<Dialog>(reinterpret_cast<MakeDialog>(entry)());
}

}  // namespace tollwick::platform
