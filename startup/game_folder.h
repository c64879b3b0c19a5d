#pragma once
// Where the game is, decided before the start-up sequence runs.
//
// The application directory (the folder whose Zelkor.dll and security library the run
// loads) is the game's folder given as the one argument, `tollwick [GAME_FOLDER]`, or
// else the executable's own folder when that holds the game's libraries (an installed
// copy beside the game), or else the game's folder named by its settings
// ("WorkingDirectory"), as a packaged program that lives apart from the game finds it.
// Where the settings name none (or a folder without the game) and the boxes are the
// desktop's, the player chooses the folder with the desktop's folder chooser.
//
// A folder the player named (argument or chooser) is the game's folder for the whole
// run: its working directory too, whatever "WorkingDirectory" says. On Linux a game
// inside a Wine prefix (a folder above it holds system.reg and drive_c) is run with that
// prefix, for the settings and the hand-off below, unless WINEPREFIX names the prefix
// that holds it.
//
// Where that folder's security library is the game's 32-bit Windows ZELKORSEC.dll and
// this program cannot load it (no ZELKORSEC of this system's own kind beside it), the
// whole run is handed to the 32-bit tollwick.exe beside this program, under Wine, in the
// same prefix, with the same folder and settings: its boxes, transcript and exit code
// are the run's. A prefix that Wine would update first is never changed without the
// player's Yes.

#include <optional>
#include <string>
#include <vector>

namespace tollwick {

// Chooses the application directory from the command line's `arguments` and the
// settings. nullopt when the run goes on; the exit code (2) when it ended after a box
// that says why no game folder can be used. Nothing is changed on disk.
std::optional<int> chooseGameFolder(const std::vector<std::string>& arguments);

// Hands the run to tollwick.exe under Wine where the game's library needs it. nullopt
// when this program runs it itself; otherwise the exit code of the run (2 after a box
// that says why it could not be handed on).
std::optional<int> runThroughWineWhereNeeded();

// The question asked before Wine would update the prefix `prefix` (set up by another
// Wine) to run the hand-off; No ends the run with the prefix untouched.
std::string prefixUpdateQuestion(const std::string& prefix);

// The texts of the boxes shown when the game's 32-bit library needs Wine and none is
// found, when Wine ended without running tollwick.exe to its end, and when it could not
// because this computer runs no 32-bit programs at all.
std::string wineNeededText();
std::string wineFailedText(int exitCode);
std::string no32BitProgramsText();

}  // namespace tollwick
