// The tollwick executable: `tollwick [GAME_FOLDER]` finds the game, then runs the
// start-up sequence (or hands the run to the Windows program under Wine);
// `tollwick --help` and `--version` tell how to use it and which one it is.

#include <iostream>
#include <string>
#include <vector>

#include "platform/ansi_text.h"
#include "platform/process.h"
#include "platform/seam.h"
#include "runtime/binary_file.h"
#include "runtime/message_box.h"
#include "runtime/run_time_error.h"
#include "startup/dialog_choice.h"
#include "startup/game_folder.h"
#include "startup/main_sequence.h"
#include "startup/usage.h"

int main(int argc, char** argv) {
  using namespace tollwick;
  // Windows: a desktop program started from a console speaks through that console.
  platform::use<platform::Process>().attachToParentConsole();
  // A file-size limit or a closed output fails the write that meets it, which the
  // routine doing it reports, instead of killing the process.
  platform::use<platform::Process>().reportWriteFailuresAsErrors();
  const std::vector<std::string> arguments = platform::commandLineArguments(argc, argv);
  // --help and --version answer before anything is read or shown.
  if (const auto text = conventionalAnswer(arguments)) {
    showConventionalAnswer(*text, std::cout);
    return 0;
  }
  // A wrong answer word is refused before any setting is read or any game file touched.
  if (!answersEnvironmentIsValid(std::cerr)) return 1;
  // So is a transcript that cannot be written: it is opened before the first box.
  DialogEnvironment environment = dialogEnvironmentFromProcess();
  if (!openTranscript(environment, std::cerr)) return 1;
  std::string badWord;
  const auto dialog = chooseDialog(environment, std::cin, std::cout, badWord);
  if (!dialog) return 1;
  const platform::Installed<platform::Dialog> installedDialog(*dialog);
  try {
    if (const auto ended = chooseGameFolder(arguments)) {
      return *ended;
    }
    if (const auto handedOn = runThroughWineWhereNeeded()) return *handedOn;
    Main(realStartupRoutines());
  } catch (const RunTimeError& error) {
    // Only an error raised outside every trap gets here (a box that cannot be shown
    // before the sequence starts, or while the start-up trap itself asks): nothing is
    // left to report it through, so it goes to standard error and the program ends
    // as at once, committing no open file.
    std::cerr << "tollwick: " << ansiToUtf8(error.description()) << "\n";
    abandonAllFiles();
    return 1;
  }
  // Main returned: 2 tells a script that a box reported a failure (an error report, a
  // failed load, a repair that did not complete), 0 that none did.
  return failureReported() ? 2 : 0;
}
