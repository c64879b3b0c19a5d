#include "startup/usage.h"

#include <memory>

#include "platform/dialog.h"
#include "platform/process.h"
#include "runtime/message_box.h"

namespace tollwick {
namespace {

const char* const kLinuxUsage = R"(Usage: tollwick [GAME_FOLDER]
Repair a bloated Zelkor character file.

Tollwick checks the files of the game Zelkor, asks "Fix Character File Now?"
and on Yes rebuilds ZELKORCharacters.DED from the characters still in use
into a compact file that takes the old one's place. It speaks through message
boxes: windows on a desktop, otherwise the terminal.

GAME_FOLDER is the folder where Zelkor is installed, the one that holds the
game's Zelkor.dll and ZELKORSEC.dll: a Linux path, or a Windows path on a
drive of the Wine prefix, such as C:\Games\Zelkor. It is the game's folder
for the whole run, whatever folder the game's settings name. Without it,
Tollwick works on its own folder when the game's libraries lie there, else on
the folder the game's settings name, else it asks for the folder with the
desktop's folder chooser.

A game inside a Wine prefix (a folder above it holds system.reg and drive_c)
is repaired with that prefix's settings. When the game's ZELKORSEC.dll is its
32-bit Windows library, Tollwick runs its tollwick.exe under Wine in that
prefix; a prefix that another Wine set up is not updated without asking.

Options:
  -h, --help     show this help and exit
      --version  show the version and exit

Environment:
  TOLLWICK_ANSWERS     comma-separated yes and no answers for the Yes/No boxes,
                       used in order; no box is shown
  TOLLWICK_DIALOG      "terminal" shows the boxes on the terminal, even on a
                       desktop
  TOLLWICK_TRANSCRIPT  a file to which every box and every use of the folder
                       chooser is appended as one line of JSON
  WINEPREFIX           the Wine prefix of the game's settings and of Wine
                       (default ~/.wine)
)";

const char* const kWindowsUsage = R"(Usage: tollwick.exe [GAME_FOLDER]
Repair a bloated Zelkor character file.

Tollwick checks the files of the game Zelkor, asks "Fix Character File Now?"
and on Yes rebuilds ZELKORCharacters.DED from the characters still in use
into a compact file that takes the old one's place. It speaks through message
boxes.

GAME_FOLDER is the folder where Zelkor is installed, the one that holds the
game's Zelkor.dll and ZELKORSEC.dll, such as "C:\Games\Zelkor". It is the
game's folder for the whole run, whatever folder the game's settings name.
Without it, Tollwick works on its own folder when the game's libraries lie
there, else on the folder the game's settings name, else it asks for the
folder with the folder chooser.

Options:
  /?, -h, --help  show this help and exit
      --version   show the version and exit

Environment:
  TOLLWICK_ANSWERS     comma-separated yes and no answers for the Yes/No boxes,
                       used in order; no box is shown
  TOLLWICK_DIALOG      "terminal" shows the boxes in the console
  TOLLWICK_TRANSCRIPT  a file to which every box and every use of the folder
                       chooser is appended as one line of JSON
)";

// The same on every system.
const char* const kExitStatus = R"(
Exit status:
  0   the run ended normally
  1   the run ended at once: a second copy, a No that stops the run, or no
      way to show a box
  2   a box reported a failure (an error, a failed load, a repair that did
      not complete), or no game's folder was given
)";

bool isHelp(const std::string& argument) {
  return argument == "--help" || argument == "-h" || (platform::kWindowsBuild && argument == "/?");
}

}  // namespace

std::string usageText() {
  return std::string(platform::kWindowsBuild ? kWindowsUsage : kLinuxUsage) + kExitStatus;
}

std::string versionText() {
  std::string version = kVersionText;
  while (!version.empty() && version.back() == ' ') version.pop_back();
  return std::string(platform::kWindowsBuild ? "tollwick.exe " : "tollwick ") + version + "\n";
}

std::optional<std::string> conventionalAnswer(const std::vector<std::string>& arguments) {
  if (arguments.size() != 1) return std::nullopt;
  if (isHelp(arguments[0])) return usageText();
  if (arguments[0] == "--version") return versionText();
  return std::nullopt;
}

void showConventionalAnswer(const std::string& text, std::ostream& out) {
  if (!platform::standardOutputIsRead()) {
    if (const std::unique_ptr<platform::Dialog> desktop = platform::makeDesktopDialog()) {
      if (desktop->show(text, platform::box::kInformation, kApplicationTitle) !=
          platform::box::kNotShown) {
        return;
      }
    }
  }
  out << text << std::flush;
}

}  // namespace tollwick
