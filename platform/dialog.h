#pragma once
// The dialog facility: modal message boxes, the only way the program speaks to its user.

#include <cstdint>
#include <memory>
#include <string>

namespace tollwick::platform {

// Message-box style codes (button set plus icon) and answer codes, the platform's own.
namespace box {
inline constexpr int32_t kOk = 0;
inline constexpr int32_t kYesNo = 4;
inline constexpr int32_t kExclamation = 48;  // OK button, exclamation icon
inline constexpr int32_t kInformation = 64;  // OK button, information icon
inline constexpr int32_t kAnswerOk = 1;
inline constexpr int32_t kAnswerYes = 6;
inline constexpr int32_t kAnswerNo = 7;
// What a dialog returns for a box it could not show (the desktop's display went away,
// the terminal cannot be written); the program then shows it elsewhere, or it is the
// runtime's error of a box that cannot be shown. Never an answer.
inline constexpr int32_t kNotShown = 0;
}  // namespace box

// What the desktop's folder chooser gave: a folder (a program text), or nothing.
struct FolderChoice {
  enum class Outcome {
    kNotOffered,  // this dialog has no folder chooser, or could not show it
    kCancelled,   // the user closed it without choosing
    kChosen,
  };
  Outcome outcome = Outcome::kNotOffered;
  std::string folder;  // when chosen
};

class Dialog {
 public:
  virtual ~Dialog() = default;

  // Shows a modal box and waits for its answer. Prompt and caption are texts of the
  // program (the system's code page).
  // Returns 1 (OK), 6 (Yes) or 7 (No), or box::kNotShown for a box that cannot be
  // shown: it never answers on the user's behalf.
  virtual int32_t show(const std::string& prompt, int32_t style, const std::string& caption) = 0;

  // Asks for a folder with the desktop's own folder chooser, titled `title`: only the
  // desktop's dialog offers one (offersFolderChooser); the terminal and scripted answers
  // do not.
  virtual bool offersFolderChooser() { return false; }
  virtual FolderChoice chooseFolder(const std::string& title) {
    (void)title;
    return {};
  }

  // The hourglass pointer and the processing of waiting window messages: they act only
  // where the boxes are real windows.
  virtual void setBusyPointer() {}
  virtual void processPendingMessages() {}
};

// The desktop's own modal dialog (real windows), made by the operating system's layer;
// null where there is none: no desktop toolkit in this build or installed (on Linux the
// toolkit is a module loaded here, on the first call), or no display it can open.
std::unique_ptr<Dialog> makeDesktopDialog();

// Whether this session has a desktop that shows the boxes as windows. On Windows always,
// however the program was started (Explorer, a console, a shortcut) and whatever its
// environment holds; on Linux when DISPLAY or WAYLAND_DISPLAY names a display.
bool desktopSession();

// Whether a box the desktop cannot show goes to the terminal instead. On Linux it does (a
// session whose display went away still has its terminal); on Windows never: there the
// terminal answers only when asked for by name (TOLLWICK_DIALOG=terminal).
bool terminalStandsInForDesktop();

// Whether standard output leads somewhere a person or a script reads it (POSIX: always;
// Windows: a console, a pipe or a file, which a double-clicked program lacks).
bool standardOutputIsRead();

// Whether standard input can answer a box: a terminal, or input given to the program
// (a pipe, a FIFO, a file). False when it is closed or a device that is not a terminal
// (/dev/null), as for a program started from a desktop launcher.
bool standardInputCanAnswer();

}  // namespace tollwick::platform
