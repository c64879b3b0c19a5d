#pragma once
// The system calls of the POSIX file system, each made through an entry of one table, so
// that a test can make any single call fail (or write short) where it is made, and the
// file system's own error paths run as they would on a failing disk. The entries are the
// C library's own functions unless a test put others in place (installSystemCalls).
//
// Made directly, outside the table: the listings of directories (opendir, readdir), the
// lookups that map a program path to a host path, realpath of a link, the scan of /proc
// for another process holding a file, and fcntl's O_NONBLOCK reset and access() in an
// error's wording. A failure of any of them changes no file: a listing that fails skips
// the clean-up of left-over temporaries (or the search fails before anything is
// written), a path or link that cannot be resolved is named as written and the next call
// through the table fails on it.

#include <sys/stat.h>
#include <sys/types.h>

namespace tollwick::platform::posix {

struct SystemCalls {
  int (*openFile)(const char* path, int flags, mode_t mode);
  ssize_t (*readAt)(int fd, void* into, size_t count, off_t offset);
  ssize_t (*writeFile)(int fd, const void* bytes, size_t count);
  int (*syncFile)(int fd);
  int (*closeFile)(int fd);
  // fcntl with F_DUPFD_CLOEXEC.
  int (*duplicateFile)(int fd);
  int (*statFile)(int fd, struct stat* st);
  int (*statPath)(const char* path, struct stat* st);
  int (*statLink)(const char* path, struct stat* st);
  int (*changeMode)(int fd, mode_t mode);
  int (*changeOwner)(int fd, uid_t owner, gid_t group);
  ssize_t (*listAttributes)(const char* path, char* names, size_t size);
  ssize_t (*getAttribute)(const char* path, const char* name, void* value, size_t size);
  int (*setAttribute)(int fd, const char* name, const void* value, size_t size, int flags);
  // faccessat with AT_EACCESS.
  int (*checkAccess)(const char* path, int mode);
  int (*lockFile)(int fd, int operation);
  int (*renamePath)(const char* from, const char* to);
  // renameat2 with RENAME_EXCHANGE.
  int (*exchangePaths)(const char* from, const char* to);
  int (*unlinkPath)(const char* path);
};

// The table in use.
const SystemCalls& systemCalls();

// The C library's own functions.
const SystemCalls& realSystemCalls();

// Puts `calls` in place of the table in use (for tests); returns what was there.
SystemCalls installSystemCalls(const SystemCalls& calls);

}  // namespace tollwick::platform::posix
