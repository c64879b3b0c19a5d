// The process facility on Linux and other POSIX systems.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/ansi_text.h"
#include "platform/process.h"
#include "platform/seam.h"

namespace tollwick::platform {
namespace {

// FNV-1a, to name the lock file after the application directory.
std::string hashHex(const std::string& text) {
  uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char out[17];
  std::snprintf(out, sizeof out, "%016llx", static_cast<unsigned long long>(hash));
  return out;
}

// The user's own runtime folder, when it is one nobody else can write into: owned by
// this user, a directory (not a link to one), closed to group and others. "" when there
// is none.
std::string privateRuntimeDirectory() {
  const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
  if (runtimeDir == nullptr || runtimeDir[0] != '/') return "";
  struct stat st {};
  if (::lstat(runtimeDir, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() ||
      (st.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
    return "";
  }
  return runtimeDir;
}

bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

class PosixProcess : public Process {
 public:
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
  // resolved, so that one folder has one name (the lock is named after it).
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

  // The lock: in the user's private runtime folder, a lock file named after the
  // application directory, opened without following a link and removed when the
  // process ends; where there is no such folder, the application directory itself,
  // which exists already and leaves nothing behind.
  bool previousInstanceRunning() override {
    if (lockFd_ >= 0) return false;  // this process already holds the lock
    const std::string directory = applicationDirectory();
    const std::string runtime = privateRuntimeDirectory();
    if (runtime.empty()) return lockObject(ansiToUtf8(directory));
    const std::string path = runtime + "/tollwick-" + hashHex(directory) + ".lock";
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
  // Locks an object that already exists (a directory): held by the kernel for the
  // life of the process, nothing to remove.
  bool lockObject(const std::string& host) {
    const int fd = ::open(host.c_str(), O_RDONLY | O_DIRECTORY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd);
      return true;
    }
    lockFd_ = fd;
    return false;
  }

  // Removes the lock file while still holding it (only when its name still names the
  // file locked), then lets go.
  void releaseLock() {
    if (lockFd_ < 0) return;
    struct stat held {};
    struct stat named {};
    if (!lockPath_.empty() && ::fstat(lockFd_, &held) == 0 &&
        ::lstat(lockPath_.c_str(), &named) == 0 && sameFile(held, named)) {
      ::unlink(lockPath_.c_str());
    }
    ::close(lockFd_);
    lockFd_ = -1;
    lockPath_.clear();
  }

  int lockFd_ = -1;
  std::string lockPath_;
};

}  // namespace

template <>
std::unique_ptr<Process> makeSystemFacility<Process>() {
  return std::make_unique<PosixProcess>();
}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(utf8ToAnsi(argv[i]));
  return arguments;
}

}  // namespace tollwick::platform
