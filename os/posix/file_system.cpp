// The file-system facility on POSIX systems.

#include "os/posix/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "os/posix/file_attributes.h"
#include "os/posix/file_errors.h"
#include "os/posix/file_identity.h"
#include "os/posix/host_path.h"
#include "os/posix/large_fill.h"
#include "os/posix/open_elsewhere.h"
#include "os/posix/system_calls.h"
#include "os/posix/temporary_file.h"
#include "platform/ansi_text.h"
#include "platform/read_whole.h"
#include "platform/seam.h"
#include "platform/temporary_names.h"

namespace tollwick::platform {
namespace {

using posix::adoptExtendedAttributes;
using posix::adoptOwner;
using posix::heldOpenByAnotherProcess;
using posix::identityOf;
using posix::isReadOnly;
using posix::lockNewTemporary;
using posix::sameTimesAndSize;
using posix::statusOf;
using posix::systemCalls;

std::string parentOf(const std::string& host) {
  const size_t slash = host.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return host.substr(0, slash);
}

std::string baseNameOf(const std::string& host) {
  std::string trimmed = host;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  const size_t slash = trimmed.find_last_of('/');
  return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

bool isDirectory(const std::string& host) {
  struct stat st {};
  return systemCalls().statPath(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A link is followed to the file it names, so that replacing it replaces that file.
std::string followLink(const std::string& host) {
  struct stat st {};
  if (systemCalls().statLink(host.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return host;
  char* real = ::realpath(host.c_str(), nullptr);
  if (real == nullptr) return host;  // a broken link is replaced itself
  std::string resolved = real;
  std::free(real);
  return resolved;
}

EntryKind kindOf(const struct stat& st, const std::string& name) {
  if (S_ISDIR(st.st_mode)) return EntryKind::kDirectory;
  if (!S_ISREG(st.st_mode)) return EntryKind::kOther;
  return (!name.empty() && name[0] == '.') ? EntryKind::kHiddenFile : EntryKind::kNormalFile;
}

// A host path the program can name again: one whose every character the code page
// holds. Any other would come back as a different path.
bool nameableByProgram(const std::string& host) { return nameableInCodePage(host); }

class PosixFileSystem : public FileSystem {
 public:
  Result<ByteBuffer> readFile(const std::string& path, uint64_t limit) override {
    Result<FileRead> read = readFileWithIdentity(path, limit);
    if (!read.ok()) return read.status();
    return std::move(read->bytes);
  }

  Result<FileRead> readFileWithIdentity(const std::string& path, uint64_t limit) override {
    const std::string host = hostPath(path);
    const int fd = openRegularFile(host);
    if (fd < 0) return statusOf(errno, host);
    Result<FileRead> read = readAll(fd, host, limit);
    systemCalls().closeFile(fd);
    return read;
  }

  Result<ByteBuffer> readFilePart(const std::string& path, uint64_t offset,
                                  size_t length) override {
    const std::string host = hostPath(path);
    if (offset > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) {
      return Status(Code::kInvalidArgument, host);
    }
    const int fd = openRegularFile(host);
    if (fd < 0) return statusOf(errno, host);
    ByteBuffer part(length);
    size_t filled = 0;
    int error = 0;
    while (filled < length) {
      const ssize_t n = systemCalls().readAt(fd, part.data() + filled, length - filled,
                                             static_cast<off_t>(offset + filled));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) error = errno;
      if (n <= 0) break;
      filled += static_cast<size_t>(n);
    }
    systemCalls().closeFile(fd);
    if (error != 0) return statusOf(error, host);
    part.resize(filled);
    return part;
  }

  Result<bool> mayWrite(const std::string& path) override {
    const std::string host = hostPath(path);
    struct stat st {};
    if (systemCalls().statPath(host.c_str(), &st) != 0) return statusOf(errno, host);
    // A file with other names is not changed either: replacing it would leave the other
    // names on the old bytes, two files where there was one.
    return !isReadOnly(host, st) && st.st_nlink <= 1;
  }

  Result<bool> mayDelete(const std::string& path) override {
    const std::string host = hostPath(path);
    struct stat st {};
    if (systemCalls().statPath(host.c_str(), &st) != 0) return statusOf(errno, host);
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
  }

  Status adoptAttributes(const std::string& path, const std::string& model) override {
    const std::string host = hostPath(path);
    const std::string hostModel = hostPath(model);
    struct stat st {};
    if (systemCalls().statPath(hostModel.c_str(), &st) != 0) return statusOf(errno, hostModel);
    const int fd = systemCalls().openFile(host.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC, 0);
    if (fd < 0) return statusOf(errno, host);
    adoptOwner(fd, st);
    Status status =
        systemCalls().changeMode(fd, st.st_mode & 07777) == 0 ? Status() : statusOf(errno, host);
    if (status.ok()) status = adoptExtendedAttributes(hostModel, fd, host);
    systemCalls().closeFile(fd);
    return status;
  }

  Result<FileIdentity> identify(const std::string& path) override {
    const std::string host = hostPath(path);
    struct stat st {};
    if (systemCalls().statPath(host.c_str(), &st) != 0) return statusOf(errno, host);
    return identityOf(st);
  }

  Result<DirEntry> lookup(const std::string& path) override {
    const std::string host = hostPath(path);
    struct stat st {};
    if (systemCalls().statPath(host.c_str(), &st) != 0) {
      const int error = errno;
      if (systemCalls().statLink(host.c_str(), &st) != 0) return statusOf(error, host);
    }
    DirEntry entry;
    entry.name = utf8ToAnsi(baseNameOf(host));
    entry.kind = kindOf(st, entry.name);
    return entry;
  }

  Result<std::vector<DirEntry>> listDirectory(const std::string& directory) override {
    const std::string host = directory.empty() ? "." : hostPath(directory);
    DIR* dir = ::opendir(host.c_str());
    if (dir == nullptr) return statusOf(errno, host + "/");
    std::vector<DirEntry> entries;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      DirEntry item{utf8ToAnsi(name), EntryKind::kOther};
      struct stat st {};
      if (::fstatat(::dirfd(dir), entry->d_name, &st, 0) == 0) item.kind = kindOf(st, name);
      entries.push_back(std::move(item));
      errno = 0;
    }
    const int error = errno;
    ::closedir(dir);
    if (error != 0) return statusOf(error, host + "/");
    return entries;
  }

  Result<std::unique_ptr<WritableFile>> createTempBeside(const std::string& target) override {
    const std::string real = followLink(hostPath(target));
    const std::string directory = parentOf(real);
    // The program names the temporary file by its path later (rename, remove).
    if (!nameableByProgram(directory)) return Status(Code::kPathNotFound, directory + "/");
    struct stat st {};
    const bool targetExists = systemCalls().statPath(real.c_str(), &st) == 0;
    const mode_t mode = targetExists ? (st.st_mode & 07777) : 0666;
    for (int attempt = 0; attempt < 100; ++attempt) {
      // A dot name: the directory search never shows it as a normal file.
      const std::string temp = directory + "/" + freshTemporaryNameFor(baseNameOf(real));
      const int fd =
          systemCalls().openFile(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
      if (fd < 0) {
        if (errno == EEXIST) continue;
        return statusOf(errno, temp);
      }
      if (!lockNewTemporary(fd, temp)) {
        systemCalls().closeFile(fd);
        continue;
      }
      // The umask may have narrowed the mode: give the copy exactly the original's,
      // owner and group first (a change of owner may clear the set-id bits), then its
      // extended attributes and ACLs.
      if (targetExists) adoptOwner(fd, st);
      Status status;
      if (targetExists && systemCalls().changeMode(fd, mode) != 0) status = statusOf(errno, temp);
      if (targetExists && status.ok()) status = adoptExtendedAttributes(real, fd, temp);
      const int lockFd = status.ok() ? systemCalls().duplicateFile(fd) : -1;
      if (status.ok() && lockFd < 0) status = statusOf(errno, temp);
      if (!status.ok()) {
        systemCalls().unlinkPath(temp.c_str());
        systemCalls().closeFile(fd);
        return status;
      }
      return std::unique_ptr<WritableFile>(
          posix::makeTemporaryFile(fd, lockFd, utf8ToAnsi(temp), temp));
    }
    return Status(Code::kExists, directory + "/");
  }

  Status rename(const std::string& from, const std::string& to) override {
    const std::string hostFrom = hostPath(from);
    const std::string hostTo = followLink(hostPath(to));
    if (systemCalls().renamePath(hostFrom.c_str(), hostTo.c_str()) == 0) return {};
    const int error = errno;
    return statusOf(error, error == ENOENT && !isDirectory(parentOf(hostTo)) ? hostTo : hostFrom);
  }

  Status exchange(const std::string& from, const std::string& to) override {
    const std::string hostFrom = hostPath(from);
    const std::string hostTo = followLink(hostPath(to));
    if (systemCalls().exchangePaths(hostFrom.c_str(), hostTo.c_str()) == 0) {
      return {};
    }
    const int error = errno;
    // A file system (or kernel) without the exchange says so with one of these.
    if (error == EINVAL || error == ENOSYS || error == EOPNOTSUPP) {
      return Status(Code::kNotSupported, hostTo, error);
    }
    return statusOf(error,
                    error == ENOENT && ::access(hostFrom.c_str(), F_OK) == 0 ? hostTo : hostFrom);
  }

  Status syncDirectoryOf(const std::string& path) override {
    const std::string directory = parentOf(followLink(hostPath(path)));
    const int fd = systemCalls().openFile(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0) return statusOf(errno, directory + "/");
    const bool synced = systemCalls().syncFile(fd) == 0;
    const int error = errno;
    systemCalls().closeFile(fd);
    return synced ? Status() : statusOf(error, directory + "/");
  }

  Status remove(const std::string& path) override {
    const std::string host = hostPath(path);
    struct stat st {};
    if (systemCalls().statLink(host.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        heldOpenByAnotherProcess(st)) {
      return Status(Code::kAccessDenied, host);
    }
    return systemCalls().unlinkPath(host.c_str()) == 0 ? Status() : statusOf(errno, host);
  }

  // The lock is taken without waiting: a writer holds it for the temporary's whole life.
  // Removed only while this process holds the lock itself and the name still names the
  // file locked; a file that cannot be opened to tell stays.
  Status removeTemporary(const std::string& path) override {
    const std::string host = hostPath(path);
    const int fd = systemCalls().openFile(
        host.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
    if (fd < 0) return statusOf(errno, host);
    Status status;
    struct stat held {};
    struct stat named {};
    if (systemCalls().lockFile(fd, LOCK_EX | LOCK_NB) != 0) {
      status =
          errno == EWOULDBLOCK ? Status(Code::kAccessDenied, host, errno) : statusOf(errno, host);
    } else if (systemCalls().statFile(fd, &held) != 0 || !S_ISREG(held.st_mode) ||
               systemCalls().statLink(host.c_str(), &named) != 0 || held.st_dev != named.st_dev ||
               held.st_ino != named.st_ino) {
      status = Status(Code::kAccessDenied, host);
    } else if (systemCalls().unlinkPath(host.c_str()) != 0) {
      status = statusOf(errno, host);
    }
    systemCalls().closeFile(fd);
    return status;
  }

 private:
  // Opens the regular file `host` for reading: -1 with errno set otherwise. Without
  // waiting: opening a FIFO for reading would wait for a writer; anything but a regular
  // file is refused (EINVAL) before a byte is read.
  static int openRegularFile(const std::string& host) {
    const int fd = systemCalls().openFile(host.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC, 0);
    if (fd < 0) return -1;
    struct stat st {};
    const bool measured = systemCalls().statFile(fd, &st) == 0;
    if (!measured || !S_ISREG(st.st_mode)) {
      const int error = measured ? EINVAL : errno;
      systemCalls().closeFile(fd);
      errno = error;
      return -1;
    }
    // A regular file never blocks: reads go on as usual.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
  }

  // Reads the whole regular file open on `fd`, at most `limit` bytes; its identity is
  // known when nothing about it changed while it was read.
  static Result<FileRead> readAll(int fd, const std::string& host, uint64_t limit) {
    struct stat st {};
    if (systemCalls().statFile(fd, &st) != 0) return statusOf(errno, host);
    // By position: a large read is filled in pieces from several threads.
    uint64_t position = 0;
    Result<ByteBuffer> bytes = readToEnd(
        host, static_cast<uint64_t>(st.st_size), limit,
        [fd, &host, &position](uint8_t* into, size_t capacity) -> Result<size_t> {
          if (capacity >= posix::kLargeFillMinimum) {
            size_t got = 0;
            if (const int error = posix::fillFromFile(fd, into, capacity, position, got)) {
              return statusOf(error, host);
            }
            position += got;
            return got;
          }
          for (;;) {
            const ssize_t n =
                systemCalls().readAt(fd, into, std::min<size_t>(capacity, size_t{1} << 30),
                                     static_cast<off_t>(position));
            if (n >= 0) {
              position += static_cast<size_t>(n);
              return static_cast<size_t>(n);
            }
            if (errno != EINTR) return statusOf(errno, host);
          }
        });
    if (!bytes.ok()) return bytes.status();
    FileRead read{std::move(bytes).value(), FileIdentity{}};
    struct stat after {};
    if (systemCalls().statFile(fd, &after) == 0 && sameTimesAndSize(st, after) &&
        static_cast<uint64_t>(read.bytes.size()) == static_cast<uint64_t>(after.st_size)) {
      read.identity = identityOf(after);
    }
    return read;
  }
};

}  // namespace

std::unique_ptr<FileSystem> makePosixFileSystem() { return std::make_unique<PosixFileSystem>(); }

template <>
std::unique_ptr<FileSystem> makeSystemFacility<FileSystem>() {
  return makePosixFileSystem();
}

}  // namespace tollwick::platform
