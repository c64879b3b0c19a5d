#pragma once
// The Wine facility: running a Windows program through Wine, the engine a Linux player
// runs the game with, in the same Wine prefix. On Windows there is nothing to hand a run
// to: no Wine is ever found there.

#include <string>
#include <utility>
#include <vector>

#include "platform/status.h"

namespace tollwick::platform {

class Wine {
 public:
  virtual ~Wine() = default;

  // The `wine` command on the PATH (a host path); "" when there is none.
  virtual std::string find() = 0;

  // The program path `path` as Wine's programs see it: a path with a drive letter as
  // it is, any other through the prefix's drive whose folder holds it (the nearest
  // one). "" when no drive of the prefix reaches it.
  virtual std::string windowsPath(const std::string& path) = 0;

  // Makes the Wine prefix that holds the host folder `folder` (the nearest folder above
  // it that holds system.reg and drive_c) the prefix of this run: its registry, its
  // drives, and the one Wine runs in. WINEPREFIX keeps its prefix when that holds the
  // folder; a folder in no prefix leaves the prefix as it was.
  virtual void usePrefixHolding(const std::string& folder) = 0;

  // The prefix of this run as the player names it: WINEPREFIX, or "~/.wine" when it is
  // not set. "" where there is no Wine.
  virtual std::string prefixName() = 0;

  // Whether `wine` (from find), started in this run's prefix, would first update the
  // prefix: it was set up or last updated by another Wine (its update marker names
  // another build of Wine, or none), and the update rewrites Windows files in it.
  virtual bool wouldUpdatePrefix(const std::string& wine) = 0;

  // Whether this computer runs 32-bit programs at all, found out by trying: some Linux
  // kernels run 64-bit programs only, and there Wine's 32-bit support cannot start,
  // whatever is installed. True where it cannot be told.
  virtual bool runs32BitPrograms() = 0;

  // Runs `wine` (from find) with `arguments` (program texts), in this process's
  // environment with the variables of `environment` set to the values given, sharing
  // standard input, output and error; waits for it to end and returns its exit code
  // (1 when it was ended by a signal). A failure when it could not be started or waited
  // for, its context the reason as the player reads it ("<wine>: <the system's text>").
  virtual Result<int> run(const std::string& wine, const std::vector<std::string>& arguments,
                          const std::vector<std::pair<std::string, std::string>>& environment) = 0;
};

}  // namespace tollwick::platform
