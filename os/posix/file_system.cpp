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

#include "os/posix/host_path.h"
#include "os/posix/large_fill.h"
#include "platform/ansi_text.h"
#include "platform/read_whole.h"
#include "platform/seam.h"
#include "platform/temporary_names.h"

namespace tollwick::platform {
namespace {

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
  return ::stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The kind of failure errno `error` of a call on `host` tells.
Code codeOf(int error, const std::string& host) {
  switch (error) {
    case ENOENT:
      return isDirectory(parentOf(host)) ? Code::kNotFound : Code::kPathNotFound;
    case ENOTDIR:
      return Code::kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
    case EBUSY:
      return Code::kAccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return Code::kNoSpace;
    case EIO:
      return Code::kIoError;
    case EEXIST:
    case ENOTEMPTY:
      return Code::kExists;
    case EMFILE:
    case ENFILE:
      return Code::kTooManyOpen;
    case EXDEV:
      return Code::kCrossDevice;
    default:
      return Code::kUnusable;
  }
}

// errno of a failed call on `host`, as a status.
Status statusOf(int error, const std::string& host) {
  return Status(codeOf(error, host), host, error);
}

// A link is followed to the file it names, so that replacing it replaces that file.
std::string followLink(const std::string& host) {
  struct stat st {};
  if (::lstat(host.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return host;
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

int64_t nanosecondsOf(const struct timespec& time) {
  return int64_t{time.tv_sec} * 1'000'000'000 + time.tv_nsec;
}

// The identity of the regular file `st` describes. File times come from a clock that
// ticks coarsely (and some file systems keep whole seconds only): a change within the
// same tick as the last one would leave them as they are. So a file is vouched for
// only when its last change lies safely behind the present.
FileIdentity identityOf(const struct stat& st) {
  FileIdentity identity;
  if (!S_ISREG(st.st_mode)) return identity;
  identity.device = static_cast<uint64_t>(st.st_dev);
  identity.file = static_cast<uint64_t>(st.st_ino);
  identity.size = static_cast<uint64_t>(st.st_size);
  identity.modifiedNs = nanosecondsOf(st.st_mtim);
  identity.changedNs = nanosecondsOf(st.st_ctim);
  struct timespec now {};
  if (::clock_gettime(CLOCK_REALTIME, &now) != 0) return identity;
  // A time without nanoseconds marks a file system that keeps coarse times (FAT keeps
  // two-second ones): only a file older than that is vouched for.
  const bool wholeSeconds = st.st_mtim.tv_nsec == 0 || st.st_ctim.tv_nsec == 0;
  const int64_t margin = wholeSeconds ? int64_t{3'000'000'000} : int64_t{50'000'000};
  identity.known = std::max(identity.modifiedNs, identity.changedNs) + margin < nanosecondsOf(now);
  return identity;
}

bool sameTimesAndSize(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         nanosecondsOf(a.st_mtim) == nanosecondsOf(b.st_mtim) &&
         nanosecondsOf(a.st_ctim) == nanosecondsOf(b.st_ctim);
}

// A host path the program can name again: one whose every character the code page
// holds. Any other would come back as a different path.
bool nameableByProgram(const std::string& host) { return nameableInCodePage(host); }

// Gives the open file `fd` the owner and group of `st` as far as the process may: the
// owner needs privilege, the group membership of it. What may not be set stays.
void adoptOwner(int fd, const struct stat& st) {
  if (::fchown(fd, st.st_uid, st.st_gid) == 0) return;
  (void)::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
}

// Copies the extended attributes of the file `model` (POSIX ACLs among them) to the open
// file `fd`. Those of the namespaces that need privilege (security, trusted) are kept
// as far as the process may set them; losing any other is a failure.
Status adoptExtendedAttributes(const std::string& model, int fd, const std::string& host) {
  std::vector<char> names;
  for (;;) {
    const ssize_t size = ::listxattr(model.c_str(), nullptr, 0);
    if (size < 0) return errno == ENOTSUP ? Status() : statusOf(errno, model);
    names.resize(static_cast<size_t>(size));
    if (size == 0) return {};
    const ssize_t got = ::listxattr(model.c_str(), names.data(), names.size());
    if (got >= 0) {
      names.resize(static_cast<size_t>(got));
      break;
    }
    if (errno != ERANGE) return statusOf(errno, model);  // the list grew meanwhile
  }
  std::vector<char> value;
  for (size_t at = 0; at < names.size();) {
    const std::string name(names.data() + at);
    at += name.size() + 1;
    if (name.empty()) continue;
    const bool privileged = name.starts_with("security.") || name.starts_with("trusted.");
    const ssize_t size = ::getxattr(model.c_str(), name.c_str(), nullptr, 0);
    if (size < 0) {
      if (errno == ENODATA || privileged) continue;
      return statusOf(errno, model);
    }
    value.resize(static_cast<size_t>(size));
    const ssize_t got = ::getxattr(model.c_str(), name.c_str(), value.data(), value.size());
    if (got < 0) {
      if (errno == ENODATA || privileged) continue;
      return statusOf(errno, model);
    }
    if (::fsetxattr(fd, name.c_str(), value.data(), static_cast<size_t>(got), 0) != 0 &&
        !privileged) {
      return statusOf(errno, host);
    }
  }
  return {};
}

// A file its owner left no write permission for, or one this process may not write:
// the program reads it but never changes or replaces it.
bool isReadOnly(const std::string& host, const struct stat& st) {
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return true;
  return ::faccessat(AT_FDCWD, host.c_str(), W_OK, AT_EACCESS) != 0 &&
         (errno == EACCES || errno == EPERM || errno == EROFS);
}

// Whether another process has the file `st` describes open: the game under Wine, an
// editor. Windows refuses to delete such a file, and so does this program, on both
// systems. The processes seen are those whose descriptors this one may read (its user's;
// all for root).
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

// A temporary being written. `lockFd` holds the advisory lock that tells other runs'
// clean-up the file is in use; it outlives close() until the object is destroyed.
class PosixWritableFile : public WritableFile {
 public:
  PosixWritableFile(int fd, int lockFd, std::string path, std::string host)
      : fd_(fd), lockFd_(lockFd), path_(std::move(path)), host_(std::move(host)) {}
  ~PosixWritableFile() override {
    if (fd_ >= 0) ::close(fd_);
    if (lockFd_ >= 0) ::close(lockFd_);
  }

  const std::string& path() const override { return path_; }

  Status append(std::span<const uint8_t> bytes) override {
    while (!bytes.empty()) {
      const size_t chunk = std::min<size_t>(bytes.size(), size_t{1} << 30);
      const ssize_t written = ::write(fd_, bytes.data(), chunk);
      if (written < 0) {
        if (errno == EINTR) continue;
        return statusOf(errno, host_);
      }
      if (written == 0) return Status(Code::kNoSpace, host_);
      bytes = bytes.subspan(static_cast<size_t>(written));
    }
    return {};
  }

  Status sync() override { return ::fsync(fd_) == 0 ? Status() : statusOf(errno, host_); }

  Status close() override {
    const int fd = fd_;
    fd_ = -1;
    // Linux releases the descriptor even when close reports an error: never retry it.
    return ::close(fd) == 0 ? Status() : statusOf(errno, host_);
  }

 private:
  int fd_;
  int lockFd_;
  std::string path_;
  std::string host_;
};

// Takes the lock on a temporary just created at `host` through `fd`. A clean-up of
// another run may have taken the new file for a left-over between its creation and the
// lock: false then (the name no longer holds it), and the caller tries another name. A
// file system without locks keeps the file unlocked (no clean-up can take it either).
bool lockNewTemporary(int fd, const std::string& host) {
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) return false;
  struct stat held {};
  struct stat named {};
  return ::fstat(fd, &held) == 0 && ::lstat(host.c_str(), &named) == 0 &&
         held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

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
    ::close(fd);
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
      const ssize_t n =
          ::pread(fd, part.data() + filled, length - filled, static_cast<off_t>(offset + filled));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) error = errno;
      if (n <= 0) break;
      filled += static_cast<size_t>(n);
    }
    ::close(fd);
    if (error != 0) return statusOf(error, host);
    part.resize(filled);
    return part;
  }

  Result<bool> mayWrite(const std::string& path) override {
    const std::string host = hostPath(path);
    struct stat st {};
    if (::stat(host.c_str(), &st) != 0) return statusOf(errno, host);
    // A file with other names is not changed either: replacing it would leave the other
    // names on the old bytes, two files where there was one.
    return !isReadOnly(host, st) && st.st_nlink <= 1;
  }

  Result<bool> mayDelete(const std::string& path) override {
    const std::string host = hostPath(path);
    struct stat st {};
    if (::stat(host.c_str(), &st) != 0) return statusOf(errno, host);
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
  }

  Status adoptAttributes(const std::string& path, const std::string& model) override {
    const std::string host = hostPath(path);
    const std::string hostModel = hostPath(model);
    struct stat st {};
    if (::stat(hostModel.c_str(), &st) != 0) return statusOf(errno, hostModel);
    const int fd = ::open(host.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return statusOf(errno, host);
    adoptOwner(fd, st);
    Status status = ::fchmod(fd, st.st_mode & 07777) == 0 ? Status() : statusOf(errno, host);
    if (status.ok()) status = adoptExtendedAttributes(hostModel, fd, host);
    ::close(fd);
    return status;
  }

  Result<FileIdentity> identify(const std::string& path) override {
    const std::string host = hostPath(path);
    struct stat st {};
    if (::stat(host.c_str(), &st) != 0) return statusOf(errno, host);
    return identityOf(st);
  }

  Result<DirEntry> lookup(const std::string& path) override {
    const std::string host = hostPath(path);
    struct stat st {};
    if (::stat(host.c_str(), &st) != 0) {
      const int error = errno;
      if (::lstat(host.c_str(), &st) != 0) return statusOf(error, host);
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
    const bool targetExists = ::stat(real.c_str(), &st) == 0;
    const mode_t mode = targetExists ? (st.st_mode & 07777) : 0666;
    for (int attempt = 0; attempt < 100; ++attempt) {
      // A dot name: the directory search never shows it as a normal file.
      const std::string temp = directory + "/" + freshTemporaryNameFor(baseNameOf(real));
      const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
      if (fd < 0) {
        if (errno == EEXIST) continue;
        return statusOf(errno, temp);
      }
      if (!lockNewTemporary(fd, temp)) {
        ::close(fd);
        continue;
      }
      // The umask may have narrowed the mode: give the copy exactly the original's,
      // owner and group first (a change of owner may clear the set-id bits), then its
      // extended attributes and ACLs.
      if (targetExists) adoptOwner(fd, st);
      Status status;
      if (targetExists && ::fchmod(fd, mode) != 0) status = statusOf(errno, temp);
      if (targetExists && status.ok()) status = adoptExtendedAttributes(real, fd, temp);
      const int lockFd = status.ok() ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1;
      if (status.ok() && lockFd < 0) status = statusOf(errno, temp);
      if (!status.ok()) {
        ::unlink(temp.c_str());
        ::close(fd);
        return status;
      }
      return std::unique_ptr<WritableFile>(
          std::make_unique<PosixWritableFile>(fd, lockFd, utf8ToAnsi(temp), temp));
    }
    return Status(Code::kExists, directory + "/");
  }

  Status rename(const std::string& from, const std::string& to) override {
    const std::string hostFrom = hostPath(from);
    const std::string hostTo = followLink(hostPath(to));
    if (::rename(hostFrom.c_str(), hostTo.c_str()) == 0) return {};
    const int error = errno;
    return statusOf(error, error == ENOENT && !isDirectory(parentOf(hostTo)) ? hostTo : hostFrom);
  }

  Status exchange(const std::string& from, const std::string& to) override {
    const std::string hostFrom = hostPath(from);
    const std::string hostTo = followLink(hostPath(to));
    if (::renameat2(AT_FDCWD, hostFrom.c_str(), AT_FDCWD, hostTo.c_str(), RENAME_EXCHANGE) == 0) {
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
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return statusOf(errno, directory + "/");
    const bool synced = ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    return synced ? Status() : statusOf(error, directory + "/");
  }

  Status remove(const std::string& path) override {
    const std::string host = hostPath(path);
    struct stat st {};
    if (::lstat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode) && heldOpenByAnotherProcess(st)) {
      return Status(Code::kAccessDenied, host);
    }
    return ::unlink(host.c_str()) == 0 ? Status() : statusOf(errno, host);
  }

  // The lock is taken without waiting: a writer holds it for the temporary's whole life.
  // Removed only while this process holds the lock itself and the name still names the
  // file locked; a file that cannot be opened to tell stays.
  Status removeTemporary(const std::string& path) override {
    const std::string host = hostPath(path);
    const int fd = ::open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return statusOf(errno, host);
    Status status;
    struct stat held {};
    struct stat named {};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      status =
          errno == EWOULDBLOCK ? Status(Code::kAccessDenied, host, errno) : statusOf(errno, host);
    } else if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode) ||
               ::lstat(host.c_str(), &named) != 0 || held.st_dev != named.st_dev ||
               held.st_ino != named.st_ino) {
      status = Status(Code::kAccessDenied, host);
    } else if (::unlink(host.c_str()) != 0) {
      status = statusOf(errno, host);
    }
    ::close(fd);
    return status;
  }

 private:
  // Opens the regular file `host` for reading: -1 with errno set otherwise. Without
  // waiting: opening a FIFO for reading would wait for a writer; anything but a regular
  // file is refused (EINVAL) before a byte is read.
  static int openRegularFile(const std::string& host) {
    const int fd = ::open(host.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    const bool measured = ::fstat(fd, &st) == 0;
    if (!measured || !S_ISREG(st.st_mode)) {
      const int error = measured ? EINVAL : errno;
      ::close(fd);
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
    if (::fstat(fd, &st) != 0) return statusOf(errno, host);
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
            const ssize_t n = ::pread(fd, into, std::min<size_t>(capacity, size_t{1} << 30),
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
    if (::fstat(fd, &after) == 0 && sameTimesAndSize(st, after) &&
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
