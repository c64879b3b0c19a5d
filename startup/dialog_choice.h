#pragma once
// Chooses the dialog the program speaks through, from its environment:
//   TOLLWICK_ANSWERS set        -> no boxes shown, answers taken from the list;
//   a desktop session            -> real windows (until that backend exists, the terminal);
//   otherwise, or TOLLWICK_DIALOG=terminal -> the terminal.
// TOLLWICK_TRANSCRIPT, whatever the backend, appends every box to that file.

#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "platform/dialog.h"

namespace tollwick {

struct DialogEnvironment {
  std::optional<std::string> answers;     // TOLLWICK_ANSWERS
  std::optional<std::string> dialog;      // TOLLWICK_DIALOG
  std::optional<std::string> transcript;  // TOLLWICK_TRANSCRIPT
  bool desktopSession = false;            // DISPLAY or WAYLAND_DISPLAY set
};

DialogEnvironment dialogEnvironmentFromProcess();

// Null with `badWord` set when TOLLWICK_ANSWERS holds a word other than yes or no.
std::unique_ptr<platform::Dialog> chooseDialog(const DialogEnvironment& env, std::istream& in,
                                               std::ostream& out, std::string& badWord);

// Checks TOLLWICK_ANSWERS before anything else runs. False, with the wrong word named on
// `errors`, when it holds a word other than yes or no.
bool answersEnvironmentIsValid(std::ostream& errors);

}  // namespace tollwick
