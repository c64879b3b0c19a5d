// Whether standard input is a terminal or carries input someone gave the program, and
// where standard output goes.

#include <sys/stat.h>
#include <unistd.h>

#include "platform/dialog.h"

namespace tollwick::platform {
namespace {

bool inspectStandardInput() {
  if (::isatty(STDIN_FILENO) == 1) return true;
  struct stat info {};
  if (::fstat(STDIN_FILENO, &info) != 0) return false;  // closed
  return !S_ISCHR(info.st_mode);  // /dev/null and other devices hold no answers
}

// Looked at before main() runs: a closed standard input is descriptor 0 free, and the
// first file the program opens (its lock file, a game file) would take it and look
// like input.
const bool standardInputAtStart = inspectStandardInput();

}  // namespace

bool standardInputCanAnswer() { return standardInputAtStart; }

// Every POSIX program has its standard output: what it prints is the caller's to see.
bool standardOutputIsRead() { return true; }

}  // namespace tollwick::platform
