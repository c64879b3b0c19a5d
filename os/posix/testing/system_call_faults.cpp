#include "os/posix/testing/system_call_faults.h"

#include <cerrno>
#include <stdexcept>

#include "os/posix/system_calls.h"

namespace tollwick::testing {
namespace {

using platform::posix::realSystemCalls;
using platform::posix::SystemCalls;

// The double in place; the table's entries are plain functions and find it here.
SystemCallFaults* active = nullptr;

// Fails the call as the C library does (-1 and errno) when the double says so.
template <class R>
bool failed(SystemCall call, R& result) {
  const int error = active->decide(call).error;
  if (error == 0) return false;
  errno = error;
  result = -1;
  return true;
}

const SystemCalls& real() { return realSystemCalls(); }

const SystemCalls kFaulty = {
    [](const char* path, int flags, mode_t mode) {
      int r;
      return failed(SystemCall::kOpenFile, r) ? r : real().openFile(path, flags, mode);
    },
    [](int fd, void* into, size_t count, off_t offset) {
      ssize_t r;
      return failed(SystemCall::kReadAt, r) ? r : real().readAt(fd, into, count, offset);
    },
    [](int fd, const void* bytes, size_t count) -> ssize_t {
      const SystemCallFaults::Fate fate = active->decide(SystemCall::kWriteFile);
      if (fate.error != 0) {
        errno = fate.error;
        return -1;
      }
      return real().writeFile(fd, bytes, fate.shortWrite && count > 1 ? count / 2 : count);
    },
    [](int fd) {
      int r;
      return failed(SystemCall::kSyncFile, r) ? r : real().syncFile(fd);
    },
    [](int fd) {
      // A failed close still releases the descriptor, as Linux's does.
      int r;
      if (failed(SystemCall::kCloseFile, r)) {
        const int error = errno;
        real().closeFile(fd);
        errno = error;
        return r;
      }
      return real().closeFile(fd);
    },
    [](int fd) {
      int r;
      return failed(SystemCall::kDuplicateFile, r) ? r : real().duplicateFile(fd);
    },
    [](int fd, struct stat* st) {
      int r;
      return failed(SystemCall::kStatFile, r) ? r : real().statFile(fd, st);
    },
    [](const char* path, struct stat* st) {
      int r;
      return failed(SystemCall::kStatPath, r) ? r : real().statPath(path, st);
    },
    [](const char* path, struct stat* st) {
      int r;
      return failed(SystemCall::kStatLink, r) ? r : real().statLink(path, st);
    },
    [](int fd, mode_t mode) {
      int r;
      return failed(SystemCall::kChangeMode, r) ? r : real().changeMode(fd, mode);
    },
    [](int fd, uid_t owner, gid_t group) {
      int r;
      return failed(SystemCall::kChangeOwner, r) ? r : real().changeOwner(fd, owner, group);
    },
    [](const char* path, char* names, size_t size) {
      ssize_t r;
      return failed(SystemCall::kListAttributes, r) ? r : real().listAttributes(path, names, size);
    },
    [](const char* path, const char* name, void* value, size_t size) {
      ssize_t r;
      return failed(SystemCall::kGetAttribute, r) ? r
                                                  : real().getAttribute(path, name, value, size);
    },
    [](int fd, const char* name, const void* value, size_t size, int flags) {
      int r;
      return failed(SystemCall::kSetAttribute, r)
                 ? r
                 : real().setAttribute(fd, name, value, size, flags);
    },
    [](const char* path, int mode) {
      int r;
      return failed(SystemCall::kCheckAccess, r) ? r : real().checkAccess(path, mode);
    },
    [](int fd, int operation) {
      int r;
      return failed(SystemCall::kLockFile, r) ? r : real().lockFile(fd, operation);
    },
    [](const char* from, const char* to) {
      int r;
      if (failed(SystemCall::kRenamePath, r)) return r;
      r = real().renamePath(from, to);
      if (r == 0) active->placed(to);
      return r;
    },
    [](const char* from, const char* to) {
      int r;
      if (failed(SystemCall::kExchangePaths, r)) return r;
      r = real().exchangePaths(from, to);
      if (r == 0) active->placed(to);
      return r;
    },
    [](const char* path) {
      int r;
      return failed(SystemCall::kUnlinkPath, r) ? r : real().unlinkPath(path);
    },
};

}  // namespace

const char* nameOf(SystemCall call) {
  static constexpr std::array<const char*, kSystemCallKinds> kNames = {
      "openFile",      "readAt",         "writeFile",     "syncFile",     "closeFile",
      "duplicateFile", "statFile",       "statPath",      "statLink",     "changeMode",
      "changeOwner",   "listAttributes", "getAttribute",  "setAttribute", "checkAccess",
      "lockFile",      "renamePath",     "exchangePaths", "unlinkPath"};
  return kNames[static_cast<size_t>(call)];
}

SystemCallFaults::SystemCallFaults() {
  if (active != nullptr) throw std::logic_error("a SystemCallFaults is already in place");
  active = this;
  platform::posix::installSystemCalls(kFaulty);
}

SystemCallFaults::~SystemCallFaults() {
  platform::posix::installSystemCalls(realSystemCalls());
  active = nullptr;
}

void SystemCallFaults::failAt(SystemCall call, int64_t n, int error, bool andLater) {
  const std::lock_guard lock(mutex_);
  failing_ = call;
  failAt_ = n;
  error_ = error;
  andLater_ = andLater;
}

void SystemCallFaults::failEveryCallFrom(int64_t n, int error) {
  const std::lock_guard lock(mutex_);
  everyCallFrom_ = n;
  everyCallError_ = error;
}

void SystemCallFaults::shortWriteAt(int64_t n) {
  const std::lock_guard lock(mutex_);
  shortWriteAt_ = n;
}

SystemCallCounts SystemCallFaults::counts() const {
  const std::lock_guard lock(mutex_);
  return counts_;
}

int64_t SystemCallFaults::total() const {
  const std::lock_guard lock(mutex_);
  return total_;
}

bool SystemCallFaults::fired() const {
  const std::lock_guard lock(mutex_);
  return fired_;
}

SystemCallFaults::FiredCall SystemCallFaults::firstFired() const {
  const std::lock_guard lock(mutex_);
  return firstFired_;
}

int64_t SystemCallFaults::placedAt(const std::string& to) const {
  const std::lock_guard lock(mutex_);
  const auto found = placedAt_.find(to);
  return found == placedAt_.end() ? 0 : found->second;
}

void SystemCallFaults::placed(const char* to) {
  const std::lock_guard lock(mutex_);
  placedAt_[to] = total_;
}

SystemCallFaults::Fate SystemCallFaults::decide(SystemCall call) {
  const std::lock_guard lock(mutex_);
  const int64_t n = ++counts_[static_cast<size_t>(call)];
  ++total_;
  Fate fate;
  if (everyCallFrom_ != 0 && total_ >= everyCallFrom_) {
    fate.error = everyCallError_;
  } else if (failAt_ != 0 && call == failing_ && (n == failAt_ || (andLater_ && n > failAt_))) {
    fate.error = error_;
  } else if (call == SystemCall::kWriteFile && n == shortWriteAt_) {
    fate.shortWrite = true;
  }
  if (!fired_ && (fate.error != 0 || fate.shortWrite)) {
    fired_ = true;
    firstFired_ = {call, n, total_};
  }
  return fate;
}

}  // namespace tollwick::testing
