#pragma once
// The system calls of the POSIX file system, each made through an entry of one table, so
// that a test can make any single call fail (or write short) where it is made, and the
// file system's own error paths run as they would on a failing disk. The entries are the
// C library's own functions unless a test put others in place (installSystemCalls).

#include <sys/stat.h>
#include <sys/types.h>

namespace tollwick::platform::posix {

struct SystemCalls {
  int (*openFile)(const char* path, int flags, mode_t mode);
  ssize_t (*readAt)(int fd, void* into, size_t count, off_t offset);
  ssize_t (*writeFile)(int fd, const void* bytes, size_t count);
  int (*syncFile)(int fd);
  int (*closeFile)(int fd);
  int (*statFile)(int fd, struct stat* st);
  int (*statPath)(const char* path, struct stat* st);
  int (*statLink)(const char* path, struct stat* st);
  int (*changeMode)(int fd, mode_t mode);
  int (*changeOwner)(int fd, uid_t owner, gid_t group);
  int (*setAttribute)(int fd, const char* name, const void* value, size_t size, int flags);
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
