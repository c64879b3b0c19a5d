#pragma once
// A double of the POSIX file system's system calls (os/posix/system_calls.h): while one
// is alive, every call goes through it, is counted by its kind and made as the C library
// makes it, unless the double was set to fail it. So the real file-system code runs its
// own error paths on a real disk: the third write fails with ENOSPC, every sync after
// the first with EIO, a write writes half of what it was asked.

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace tollwick::testing {

// The entries of the table, one kind of call each.
enum class SystemCall {
  kOpenFile,
  kReadAt,
  kWriteFile,
  kSyncFile,
  kCloseFile,
  kDuplicateFile,
  kStatFile,
  kStatPath,
  kStatLink,
  kChangeMode,
  kChangeOwner,
  kListAttributes,
  kGetAttribute,
  kSetAttribute,
  kCheckAccess,
  kLockFile,
  kRenamePath,
  kExchangePaths,
  kUnlinkPath,
};
inline constexpr size_t kSystemCallKinds = static_cast<size_t>(SystemCall::kUnlinkPath) + 1;

// The name of the table's entry ("writeFile").
const char* nameOf(SystemCall call);

// How many calls of each kind were made.
using SystemCallCounts = std::array<int64_t, kSystemCallKinds>;

class SystemCallFaults {
 public:
  // Puts the double in place of the table in use; the destructor puts the table back.
  // One at a time.
  SystemCallFaults();
  ~SystemCallFaults();
  SystemCallFaults(const SystemCallFaults&) = delete;
  SystemCallFaults& operator=(const SystemCallFaults&) = delete;

  // The `n`th call of `call` (counted from 1) fails with errno `error` and does nothing;
  // with `andLater`, so does every later call of that kind.
  void failAt(SystemCall call, int64_t n, int error, bool andLater = false);
  // From the `n`th call of any kind on (counted from 1), every call fails with `error`:
  // a disk that went away.
  void failEveryCallFrom(int64_t n, int error);
  // The `n`th writeFile writes only the first half of the bytes it is given and says so
  // (a write of one byte is made whole).
  void shortWriteAt(int64_t n);

  // How many calls were made, of each kind and of all.
  SystemCallCounts counts() const;
  int64_t total() const;
  // Whether a call was failed or shortened, and the first one that was.
  bool fired() const;
  struct FiredCall {
    SystemCall call = SystemCall::kOpenFile;
    int64_t n = 0;   // of its kind, from 1
    int64_t at = 0;  // of all calls, from 1
  };
  FiredCall firstFired() const;
  // The position among all calls (from 1) of the last rename or exchange that put a file
  // at the host path `to`; 0 when none did.
  int64_t placedAt(const std::string& to) const;

  // What becomes of one call of `call` about to be made (for the table's entries): it
  // fails with errno `error` (0: it is made), or, a write, is made short.
  struct Fate {
    int error = 0;
    bool shortWrite = false;
  };
  Fate decide(SystemCall call);
  // Notes that the last call, a rename or exchange, put a file at `to`.
  void placed(const char* to);

 private:
  mutable std::mutex mutex_;
  SystemCallCounts counts_{};
  int64_t total_ = 0;
  SystemCall failing_ = SystemCall::kOpenFile;
  int64_t failAt_ = 0;  // 0: none
  bool andLater_ = false;
  int error_ = 0;
  int64_t everyCallFrom_ = 0;  // 0: none
  int everyCallError_ = 0;
  int64_t shortWriteAt_ = 0;  // 0: none
  bool fired_ = false;
  FiredCall firstFired_;
  std::map<std::string, int64_t> placedAt_;
};

}  // namespace tollwick::testing
