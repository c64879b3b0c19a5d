// Whether standard input is a terminal or carries input someone gave the program.

#include <sys/stat.h>
#include <unistd.h>

#include "platform/dialog.h"

namespace tollwick::platform {

bool standardInputCanAnswer() {
  if (::isatty(STDIN_FILENO) == 1) return true;
  struct stat info {};
  if (::fstat(STDIN_FILENO, &info) != 0) return false;  // closed
  return !S_ISCHR(info.st_mode);  // /dev/null and other devices hold no answers
}

}  // namespace tollwick::platform
