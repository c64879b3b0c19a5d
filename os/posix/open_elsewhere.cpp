#include "os/posix/open_elsewhere.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>

namespace tollwick::platform::posix {

bool heldOpenByAnotherProcess(const struct stat& st) {
  DIR* processes = ::opendir("/proc");
  if (processes == nullptr) return false;
  const std::string self = std::to_string(::getpid());
  bool held = false;
  while (!held) {
    const dirent* process = ::readdir(processes);
    if (process == nullptr) break;
    if (process->d_name[0] < '0' || process->d_name[0] > '9' || self == process->d_name) {
      continue;
    }
    const std::string descriptors = std::string("/proc/") + process->d_name + "/fd";
    DIR* open = ::opendir(descriptors.c_str());
    if (open == nullptr) continue;  // another user's, or gone
    while (const dirent* descriptor = ::readdir(open)) {
      struct stat target {};
      if (descriptor->d_name[0] != '.' &&
          ::fstatat(::dirfd(open), descriptor->d_name, &target, 0) == 0 &&
          target.st_dev == st.st_dev && target.st_ino == st.st_ino) {
        held = true;
        break;
      }
    }
    ::closedir(open);
  }
  ::closedir(processes);
  return held;
}

}  // namespace tollwick::platform::posix
