#include "os/posix/temporary_file.h"

#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <span>
#include <utility>

#include "os/posix/file_errors.h"
#include "os/posix/system_calls.h"

namespace tollwick::platform::posix {
namespace {

class TemporaryFile : public WritableFile {
 public:
  TemporaryFile(int fd, int lockFd, std::string path, std::string host)
      : fd_(fd), lockFd_(lockFd), path_(std::move(path)), host_(std::move(host)) {}
  ~TemporaryFile() override {
    if (fd_ >= 0) systemCalls().closeFile(fd_);
    if (lockFd_ >= 0) systemCalls().closeFile(lockFd_);
  }

  const std::string& path() const override { return path_; }

  Status append(std::span<const uint8_t> bytes) override {
    while (!bytes.empty()) {
      const size_t chunk = std::min<size_t>(bytes.size(), size_t{1} << 30);
      const ssize_t written = systemCalls().writeFile(fd_, bytes.data(), chunk);
      if (written < 0) {
        if (errno == EINTR) continue;
        return statusOf(errno, host_);
      }
      if (written == 0) return Status(Code::kNoSpace, host_);
      bytes = bytes.subspan(static_cast<size_t>(written));
    }
    return {};
  }

  Status sync() override {
    return systemCalls().syncFile(fd_) == 0 ? Status() : statusOf(errno, host_);
  }

  Status close() override {
    const int fd = fd_;
    fd_ = -1;
    // Linux releases the descriptor even when close reports an error: never retry it.
    return systemCalls().closeFile(fd) == 0 ? Status() : statusOf(errno, host_);
  }

 private:
  int fd_;
  int lockFd_;
  std::string path_;
  std::string host_;
};

}  // namespace

std::unique_ptr<WritableFile> makeTemporaryFile(int fd, int lockFd, std::string path,
                                                std::string host) {
  return std::make_unique<TemporaryFile>(fd, lockFd, std::move(path), std::move(host));
}

bool lockNewTemporary(int fd, const std::string& host) {
  if (systemCalls().lockFile(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) return false;
  struct stat held {};
  struct stat named {};
  return systemCalls().statFile(fd, &held) == 0 &&
         systemCalls().statLink(host.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
         held.st_ino == named.st_ino;
}

}  // namespace tollwick::platform::posix
