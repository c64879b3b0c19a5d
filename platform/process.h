#pragma once
// The process facility: where the program lives, whether another copy runs, and how
// it ends at once.

#include <string>
#include <utility>
#include <vector>

namespace tollwick::platform {

// Whether this is the Windows build: its users start tollwick.exe and meet no Wine.
#if defined(_WIN32)
inline constexpr bool kWindowsBuild = true;
#else
inline constexpr bool kWindowsBuild = false;
#endif

class Process {
 public:
  virtual ~Process() = default;

  // The application directory: the game's folder the start-up chose for this run
  // (chooseApplicationDirectory), or else the executable's directory.
  std::string applicationDirectory() {
    return chosenDirectory_.empty() ? executableDirectory() : chosenDirectory_;
  }
  // `named`: the player named this folder for the run (on the command line or in the
  // folder chooser), which makes it the game's working directory too.
  void chooseApplicationDirectory(std::string directory, bool named = false) {
    chosenDirectory_ = std::move(directory);
    named_ = named;
  }
  // Whether the application directory is a folder the player named: the settings'
  // "WorkingDirectory" then names no other folder for this run.
  bool gameFolderNamed() const { return named_; }

  // Directory of the running executable (links resolved), without a final separator.
  virtual std::string executableDirectory() = 0;

  // `path` (a program path) made absolute against the current directory, without a
  // final separator. By default it is left as it is.
  virtual std::string absolutePath(const std::string& path) { return path; }

  // True when another copy of the program runs on the same application directory. The
  // first call takes an advisory lock keyed on the directory's identity (not on how its
  // path is spelled), which only this user's processes can hold, and holds it for the
  // life of the process.
  virtual bool previousInstanceRunning() = 0;

  // From here on the system's libraries are loaded from the system folder only, never
  // from the program's own folder, where Windows looks first by default (a library
  // planted beside a downloaded program would run in its place). Does nothing where
  // the system never looks there (POSIX).
  virtual void searchLibrariesInTheSystemFolderOnly() {}

  // A desktop program started from a console (Windows' GUI subsystem) has no standard
  // streams of its own: each stream that leads nowhere is connected to the console of
  // the program that started this one, when it has one. Started from the desktop, none
  // is made. Does nothing where every program has its streams (POSIX).
  virtual void attachToParentConsole() {}

  // From here on a write beyond the process's file-size limit, or to an output nobody
  // reads any more, fails as an error of the write instead of ending the process.
  virtual void reportWriteFailuresAsErrors() {}

  // Ends the process at once with exit code 1: nothing is flushed, no open file is
  // committed, no further code of the caller runs.
  [[noreturn]] virtual void endAtOnce() = 0;

 private:
  std::string chosenDirectory_;
  bool named_ = false;
};

// The arguments the program was started with, after its own name, as program texts
// (the code page). `argc` and `argv` are main()'s; Windows reads its wide command line
// instead, so that the texts are in the code page in use even where a tool chose one.
std::vector<std::string> commandLineArguments(int argc, char** argv);

}  // namespace tollwick::platform
