// The process facility on Linux and other POSIX systems.

#include "os/posix/process.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "os/posix/host_path.h"
#include "platform/ansi_text.h"
#include "platform/seam.h"

namespace tollwick::platform {
namespace {

bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The home directory of this process's user, as the user database gives it.
std::string homeDirectory() {
  std::vector<char> buffer(16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
    return found->pw_dir;
  }
  const char* home = std::getenv("HOME");
  return home != nullptr && home[0] == '/' ? home : "";
}

class PosixProcess : public Process {
 public:
  explicit PosixProcess(std::function<std::string()> lockFolder)
      : lockFolder_(std::move(lockFolder)) {}
  ~PosixProcess() override { releaseLock(); }

  // The directory's name as the program's text: the code page, which hostPath turns
  // back into the host's UTF-8. A character the code page lacks becomes '?', a name
  // nothing on the disk answers to.
  std::string executableDirectory() override {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return utf8ToAnsi(std::filesystem::current_path().string());
    return utf8ToAnsi(std::filesystem::canonical(exe, ec).parent_path().string());
  }

  // A path with a drive letter names a folder of the Wine prefix and is absolute as it
  // is; any other is a host path, made absolute with its links and dot components
  // resolved.
  std::string absolutePath(const std::string& path) override {
    if (path.size() >= 2 && path[1] == ':') return path;
    std::error_code ec;
    const std::filesystem::path host = ansiToUtf8(path);
    std::filesystem::path full =
        std::filesystem::weakly_canonical(std::filesystem::absolute(host, ec), ec);
    if (ec) full = std::filesystem::absolute(host, ec).lexically_normal();
    std::string text = full.string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return utf8ToAnsi(text);
  }

  void reportWriteFailuresAsErrors() override {
    // A write beyond the file-size limit then fails with EFBIG, and one to a closed
    // pipe with EPIPE, where the default would end the process.
    ::signal(SIGXFSZ, SIG_IGN);
    ::signal(SIGPIPE, SIG_IGN);
  }

  // The lock: a lock file named after the application directory's device and file
  // number, whatever the spelling that led to it (a link, a bind mount, a drive of the
  // Wine prefix), in the player's own lock folder, which nobody else may enter: only the
  // player's own processes can hold it. Opened without following a link and removed
  // when the process ends.
  bool previousInstanceRunning() override {
    if (lockFd_ >= 0) return false;  // this process already holds the lock
    struct stat folder {};
    // Without the folder or a lock folder, nothing proves that another copy runs.
    if (::stat(hostPath(applicationDirectory()).c_str(), &folder) != 0) return false;
    const std::string place = lockFolder_();
    if (place.empty()) return false;
    char name[80];
    std::snprintf(name, sizeof name, "/folder-%llx-%llx.lock",
                  static_cast<unsigned long long>(folder.st_dev),
                  static_cast<unsigned long long>(folder.st_ino));
    const std::string path = place + name;
    // A copy ending removes its lock file: one opened just before that is locked in
    // vain, and is opened again.
    for (int attempt = 0; attempt < 100; ++attempt) {
      const int fd =
          ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600);
      if (fd < 0) return false;  // no lock can be had: nothing proves another copy runs
      if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return true;
      }
      struct stat held {};
      struct stat named {};
      if (::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 && sameFile(held, named)) {
        lockFd_ = fd;
        lockPath_ = path;
        return false;
      }
      ::close(fd);
    }
    return false;
  }

  [[noreturn]] void endAtOnce() override {
    std::fflush(stderr);
    releaseLock();
    ::_exit(1);
  }

 private:
  // Removes the lock file while still holding it (only when its name still names the
  // file locked), then lets go.
  void releaseLock() {
    if (lockFd_ < 0) return;
    struct stat held {};
    struct stat named {};
    if (::fstat(lockFd_, &held) == 0 && ::lstat(lockPath_.c_str(), &named) == 0 &&
        sameFile(held, named)) {
      ::unlink(lockPath_.c_str());
    }
    ::close(lockFd_);
    lockFd_ = -1;
    lockPath_.clear();
  }

  std::function<std::string()> lockFolder_;
  int lockFd_ = -1;
  std::string lockPath_;
};

}  // namespace

std::string privateFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return "";
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return "";
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
  if (ok && (st.st_mode & (S_IRWXG | S_IRWXO)) != 0) ok = ::fchmod(fd, 0700) == 0;
  ::close(fd);
  return ok ? path : "";
}

std::string userLockFolder() {
  const std::string home = homeDirectory();
  if (home.empty()) return "";
  // The user's cache folder may be missing (a new account); it is the user's own.
  const std::string cache = home + "/.cache";
  if (::mkdir(cache.c_str(), 0700) != 0 && errno != EEXIST) return "";
  return privateFolder(cache + "/tollwick");
}

std::unique_ptr<Process> makePosixProcess(std::function<std::string()> lockFolder) {
  return std::make_unique<PosixProcess>(std::move(lockFolder));
}

template <>
std::unique_ptr<Process> makeSystemFacility<Process>() {
  return makePosixProcess(userLockFolder);
}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(utf8ToAnsi(argv[i]));
  return arguments;
}

}  // namespace tollwick::platform
