#pragma once
// The conventions of a command: `tollwick --help` (and -h; `tollwick.exe /?` on
// Windows) tells how the program is used, `--version` which one it is. Both go to
// standard output and end with exit code 0, before anything is read or shown; a Windows
// program started without a console shows the text in a box instead.

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tollwick {

// The help text of this build: usage, the game's folder, the environment variables and
// the exit codes. Plain lines, as help2man reads them to make the manual page.
std::string usageText();

// "tollwick 1.01" (tollwick.exe on Windows).
std::string versionText();

// The text `arguments` ask for (one of the help or version options alone), or nullopt
// when they name no such option.
std::optional<std::string> conventionalAnswer(const std::vector<std::string>& arguments);

// Shows `text` on `out` where standard output is read, else in a box of the desktop.
void showConventionalAnswer(const std::string& text, std::ostream& out);

}  // namespace tollwick
