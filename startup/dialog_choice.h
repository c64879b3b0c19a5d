#pragma once
// Chooses the dialog the program speaks through, from its environment:
//   TOLLWICK_ANSWERS set        -> no boxes shown, answers taken from the list;
//   TOLLWICK_DIALOG=terminal    -> the terminal, whatever else there is;
//   a desktop session            -> real windows, when the desktop dialog can be made;
//                                   a box that cannot be shown there goes to the terminal
//                                   on Linux, and is the box error on Windows;
//   otherwise                    -> the terminal.
// Windows always has a desktop session, whatever its environment holds.
// With no terminal to answer from (standard input closed or /dev/null, as for a program
// started from a launcher) a box the terminal would get cannot be shown: it is run-time
// error 57, never an answer nobody gave.
// TOLLWICK_TRANSCRIPT, whatever the backend, appends every box to that file.

#include <functional>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "platform/append_file.h"
#include "platform/dialog.h"

namespace tollwick {

struct DialogEnvironment {
  std::optional<std::string> answers;     // TOLLWICK_ANSWERS
  std::optional<std::string> dialog;      // TOLLWICK_DIALOG
  std::optional<std::string> transcript;  // TOLLWICK_TRANSCRIPT
  // The transcript, once opened (openTranscript); chooseDialog opens it when unset.
  std::shared_ptr<platform::AppendFile> transcriptFile;
  bool desktopSession = false;  // Linux: DISPLAY or WAYLAND_DISPLAY set; Windows: always
  // Whether the terminal takes the boxes of a desktop session that the desktop cannot
  // show (Linux); on Windows the terminal answers only when asked for by name.
  bool terminalStandsInForDesktop = true;
  bool terminalInput = true;  // standard input can answer a box
  // Makes the desktop's dialog (null where none can be opened); unset, a desktop session
  // gets the terminal. The process's environment sets platform::makeDesktopDialog.
  std::function<std::unique_ptr<platform::Dialog>()> desktopDialog;
};

DialogEnvironment dialogEnvironmentFromProcess();

// Opens the transcript TOLLWICK_TRANSCRIPT names into `env`, before the first box. False,
// with the reason on `errors`, when it cannot be written (a folder, a pipe nobody reads,
// a device): the program then ends before anything changes.
bool openTranscript(DialogEnvironment& env, std::ostream& errors);

// Null with `badWord` set when TOLLWICK_ANSWERS holds a word other than yes or no; null
// with `badWord` empty when the transcript cannot be opened.
std::unique_ptr<platform::Dialog> chooseDialog(const DialogEnvironment& env, std::istream& in,
                                               std::ostream& out, std::string& badWord);

// Checks TOLLWICK_ANSWERS before anything else runs. False, with the wrong word named on
// `errors`, when it holds a word other than yes or no.
bool answersEnvironmentIsValid(std::ostream& errors);

}  // namespace tollwick
