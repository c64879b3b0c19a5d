// The tollwick executable: `tollwick [GAME_FOLDER]` finds the game, then runs the
// start-up sequence (or hands the run to the Windows program under Wine);
// `tollwick --help` and `--version` tell how to use it and which one it is.

#include <iostream>
#include <new>
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

namespace {

using namespace tollwick;

// The program ends at once after `error`, raised outside every trap: told on standard
// error, no open file committed.
int endOnStandardError(const RunTimeError& error) {
  std::cerr << "tollwick: " << ansiToUtf8(error.description()) << "\n";
  abandonAllFiles();
  return 1;
}

// An exception that escaped every routine (C++'s own out of memory among them) ends the
// run at once, never in an abort: told in one box of the common error report while a
// box can still be shown (standard error otherwise), with no open file committed.
int endAfterEscapedError(const RunTimeError& error) {
  abandonAllFiles();
  try {
    sysShowMessage(errorReportText(error.description(), "modMain:Main!"));
  } catch (...) {
    return endOnStandardError(error);
  }
  return 1;
}

int run(int argc, char** argv) {
  // Windows: no library of the system is taken from the program's own folder.
  platform::use<platform::Process>().searchLibrariesInTheSystemFolderOnly();
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
    // left to report it through.
    return endOnStandardError(error);
  } catch (const std::bad_alloc&) {
    return endAfterEscapedError(RunTimeError(err::kOutOfMemory));
  } catch (...) {
    return endAfterEscapedError(RunTimeError(err::kInternalError));
  }
  // Main returned: 2 tells a script that a box reported a failure (an error report, a
  // failed load, a repair that did not complete), 0 that none did.
  return failureReported() ? 2 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Before a box can be shown (or after it no longer can), an escaping exception is
  // told on standard error.
  try {
    return run(argc, argv);
  } catch (const std::bad_alloc&) {
    return endOnStandardError(RunTimeError(err::kOutOfMemory));
  } catch (...) {
    return endOnStandardError(RunTimeError(err::kInternalError));
  }
}
