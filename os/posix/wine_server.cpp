// Whether a Wine prefix's wineserver runs, found from the lock it holds.

#include "os/posix/wine_server.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace tollwick::platform {
namespace {

// The directories a wineserver of this user may keep its lock in: the one Debian's
// wine names in "<prefix>/wineserver", and upstream's "/tmp/.wine-<uid>".
std::vector<std::string> serverDirectories(const std::string& prefix) {
  std::vector<std::string> directories;
  if (FILE* named = std::fopen((prefix + "/wineserver").c_str(), "re")) {
    char buffer[4096];
    const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, named);
    std::fclose(named);
    std::string name(buffer, n);
    while (!name.empty() && (name.back() == '\n' || name.back() == '\0')) name.pop_back();
    if (!name.empty() && name.front() == '/') {
      directories.push_back(name);
    } else if (!name.empty()) {
      const char* tmp = std::getenv("TMPDIR");
      if (tmp != nullptr && *tmp != '\0') directories.push_back(std::string(tmp) + "/" + name);
      directories.push_back("/tmp/" + name);
    }
  }
  directories.push_back("/tmp/.wine-" + std::to_string(::getuid()));
  return directories;
}

}  // namespace

bool wineServerRunning(const std::string& prefix) {
  struct stat st {};
  if (::stat(prefix.c_str(), &st) != 0) return false;
  char name[64];
  std::snprintf(name, sizeof name, "/server-%llx-%llx/lock",
                static_cast<unsigned long long>(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  for (const std::string& directory : serverDirectories(prefix)) {
    const int fd = ::open((directory + name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    const bool held = ::fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    ::close(fd);
    if (held) return true;
  }
  return false;
}

}  // namespace tollwick::platform
