// Whether standard input can answer a box on Windows: a console, a pipe or a file; not
// a missing handle or the NUL device (a program started from the desktop). And whether
// standard output leads anywhere: a double-clicked desktop program has none.

#include <windows.h>

#include "platform/dialog.h"

namespace tollwick::platform {

bool standardInputCanAnswer() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (input == nullptr || input == INVALID_HANDLE_VALUE) return false;
  switch (GetFileType(input)) {
    case FILE_TYPE_DISK:
    case FILE_TYPE_PIPE:
      return true;
    case FILE_TYPE_CHAR: {
      // A console answers; NUL is a character device too, but not a console.
      DWORD mode = 0;
      return GetConsoleMode(input, &mode) != FALSE;
    }
    default:
      return false;
  }
}

// A console (attached at start), a pipe or a file the caller gave.
bool standardOutputIsRead() {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  return output != nullptr && output != INVALID_HANDLE_VALUE &&
         GetFileType(output) != FILE_TYPE_UNKNOWN;
}

}  // namespace tollwick::platform
