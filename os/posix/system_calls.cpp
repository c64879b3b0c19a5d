#include "os/posix/system_calls.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace tollwick::platform::posix {
namespace {

const SystemCalls kReal = {
    [](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); },
    ::pread,
    ::write,
    ::fsync,
    ::close,
    [](int fd) { return ::fcntl(fd, F_DUPFD_CLOEXEC, 0); },
    ::fstat,
    ::stat,
    ::lstat,
    ::fchmod,
    ::fchown,
    ::listxattr,
    ::getxattr,
    ::fsetxattr,
    [](const char* path, int mode) { return ::faccessat(AT_FDCWD, path, mode, AT_EACCESS); },
    ::flock,
    ::rename,
    [](const char* from, const char* to) {
      return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_EXCHANGE);
    },
    ::unlink,
};

SystemCalls& inUse() {
  static SystemCalls calls = kReal;
  return calls;
}

}  // namespace

const SystemCalls& systemCalls() { return inUse(); }

const SystemCalls& realSystemCalls() { return kReal; }

SystemCalls installSystemCalls(const SystemCalls& calls) {
  const SystemCalls previous = inUse();
  inUse() = calls;
  return previous;
}

}  // namespace tollwick::platform::posix
