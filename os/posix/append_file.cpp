// Append-only files on POSIX systems: opened without waiting for a reader, written
// without blocking.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "platform/append_file.h"

namespace tollwick::platform {
namespace {

class PosixAppendFile : public AppendFile {
 public:
  explicit PosixAppendFile(int fd) : fd_(fd) {}
  ~PosixAppendFile() override { ::close(fd_); }
  PosixAppendFile(const PosixAppendFile&) = delete;
  PosixAppendFile& operator=(const PosixAppendFile&) = delete;

  bool append(std::string_view text) override {
    while (!text.empty()) {
      const ssize_t written = ::write(fd_, text.data(), text.size());
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) return false;  // no space, no reader, or one that does not read
      text.remove_prefix(static_cast<size_t>(written));
    }
    return true;
  }

 private:
  int fd_;
};

}  // namespace

Result<std::unique_ptr<AppendFile>> openAppendFile(const std::string& path) {
  // O_NONBLOCK: opening a FIFO without a reader fails at once (ENXIO) instead of
  // waiting, and a write that would wait fails instead.
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) {
    const int error = errno;
    return Status(Code::kUnusable, error == ENXIO ? "a pipe nobody reads" : std::strerror(error),
                  error);
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 ||
      !(S_ISREG(st.st_mode) || S_ISFIFO(st.st_mode) || ::isatty(fd) == 1)) {
    ::close(fd);
    return Status(Code::kUnusable, "not a file, a pipe or a terminal");
  }
  return std::unique_ptr<AppendFile>(std::make_unique<PosixAppendFile>(fd));
}

}  // namespace tollwick::platform
