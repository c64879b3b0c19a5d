// The Wine prefix's registry file on Linux and other POSIX systems: read whole,
// checked for a running wineserver, replaced atomically.

#include "platform/posix/posix_registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "platform/posix/host_path.h"
#include "platform/seam.h"

namespace tollwick::platform {
namespace {

int32_t statusFor(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
      return reg::kAccessDenied;
    case ENOENT:
    case ENOTDIR:
      return reg::kFileNotFound;
    default:
      return reg::kRegistryIoFailed;
  }
}

bool writeAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string directoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

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

class PrefixRegistryFile : public WineRegistryFile {
 public:
  // An empty `prefix` follows $WINEPREFIX as it is at each operation.
  explicit PrefixRegistryFile(std::string prefix) : prefix_(std::move(prefix)) {}

  ReadResult read(std::string& contents) override {
    const int fd = ::open(path().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? ReadResult::kMissing : ReadResult::kFailed;
    struct stat st {};
    ReadResult result = ReadResult::kRead;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) result = ReadResult::kFailed;
    contents.clear();
    char buffer[65536];
    while (result == ReadResult::kRead) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) result = ReadResult::kFailed;
      if (n <= 0) break;
      contents.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return result;
  }

  bool inUse() override { return wineServerRunning(prefix()); }

  int32_t replace(const std::string& contents) override {
    // Replace the file a link points at, not the link.
    std::string target = path();
    if (char* real = ::realpath(target.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
    const std::string directory = directoryOf(target);
    std::string temp = directory + "/.system.reg.tollwick-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return statusFor(errno);
    struct stat st {};
    ::fchmod(fd, ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
    int error = 0;
    if (!writeAll(fd, contents) || ::fsync(fd) != 0) error = errno != 0 ? errno : EIO;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) {
      ::unlink(temp.c_str());
      return statusFor(error);
    }
    // The rename is durable once the directory is.
    const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return reg::kRegistryIoFailed;
    const bool synced = ::fsync(dirFd) == 0;
    ::close(dirFd);
    return synced ? reg::kSuccess : reg::kRegistryIoFailed;
  }

  int64_t now() override { return static_cast<int64_t>(std::time(nullptr)); }

  std::string version() override {
    struct stat st {};
    if (::stat(path().c_str(), &st) != 0) return errno == ENOENT ? "missing" : "";
    char text[160];
    std::snprintf(
        text, sizeof text, "%llx:%llx:%llx:%lld.%09ld:%lld.%09ld",
        static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino),
        static_cast<unsigned long long>(st.st_size), static_cast<long long>(st.st_mtim.tv_sec),
        st.st_mtim.tv_nsec, static_cast<long long>(st.st_ctim.tv_sec), st.st_ctim.tv_nsec);
    return text;
  }

 private:
  std::string prefix() const { return prefix_.empty() ? winePrefix() : prefix_; }
  std::string path() const { return prefix() + "/system.reg"; }

  std::string prefix_;
};

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

std::unique_ptr<WineRegistryFile> makeWinePrefixRegistryFile(const std::string& prefix) {
  return std::make_unique<PrefixRegistryFile>(prefix);
}

std::unique_ptr<Registry> makeWinePrefixRegistry(const std::string& prefix) {
  return std::make_unique<WineRegistry>(makeWinePrefixRegistryFile(prefix));
}

template <>
std::unique_ptr<Registry> makeSystemFacility<Registry>() {
  return std::make_unique<WineRegistry>(std::make_unique<PrefixRegistryFile>(""));
}

}  // namespace tollwick::platform
