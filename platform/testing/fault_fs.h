#pragma once
// FaultFs: an in-memory FileSystem that fails or "crashes" at a chosen operation, to
// prove that every file replacement leaves the complete old or the complete new file.
//
// Paths are plain keys ("G\a.DED"); the directory of a path is everything up to its
// last backslash. Like a weak real file system, it keeps two states: what programs see
// (visible) and what survives a power loss (durable). File data becomes durable at the
// file's sync; creates, renames and removes only at a sync of their directory. Until
// then they are pending, and a crash keeps none, all or a seeded subset of them.
//
// Every call of the FileSystem and WritableFile interfaces is one operation, counted
// from 1.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/status.h"

namespace tollwick::testing {

class FaultFs : public platform::FileSystem {
 public:
  enum class Survivors { kNone, kAll, kSeededSubset };

  // A file present in both states (its directory is created too).
  void putFile(const std::string& path, const std::string& bytes);
  void addDirectory(const std::string& directory);  // "G" or "G\" alike

  // Operation `n` fails with `error` (once, or it and every later one).
  void failAt(int64_t n, platform::Code error, bool persistent = false);
  // Operation `n`, when it is an append, writes half of its bytes and fails (disk full).
  void shortWriteAt(int64_t n);
  // The machine stops at operation `n`: it and every later one fail and change nothing.
  void crashAt(int64_t n);
  // Whether the file system can exchange two files (as Linux's can). Without, exchange
  // is kNotSupported and counts as no operation.
  void exchangeFiles(bool able) { exchanges_ = able; }

  int64_t operations() const { return operations_; }
  bool faultFired() const { return fired_; }

  // What programs see now: the file's bytes, or nullopt.
  std::optional<std::string> visibleFile(const std::string& path) const;
  // Every visible file, path to bytes.
  std::map<std::string, std::string> visibleFiles() const;
  // The disk after a crash now: durable state plus the pending operations that
  // `survivors` keeps, in their order.
  std::map<std::string, std::string> diskAfterCrash(Survivors survivors, uint32_t seed = 0) const;
  // The disks a crash now could leave, in this order: none of the pending operations,
  // all of them, then `seededSubsets` subsets drawn with seeds 2, 3, ...
  std::vector<std::map<std::string, std::string>> possibleDisksAfterCrash(
      uint32_t seededSubsets = 6) const;

  platform::Result<platform::ByteBuffer> readFile(const std::string& path, uint64_t limit) override;
  platform::Result<platform::DirEntry> lookup(const std::string& path) override;
  platform::Result<std::vector<platform::DirEntry>> listDirectory(
      const std::string& directory) override;
  platform::Result<std::unique_ptr<platform::WritableFile>> createTempBeside(
      const std::string& target) override;
  platform::Status rename(const std::string& from, const std::string& to) override;
  platform::Status exchange(const std::string& from, const std::string& to) override;
  platform::Status syncDirectoryOf(const std::string& path) override;
  platform::Status remove(const std::string& path) override;

 private:
  friend class FaultFile;
  struct Inode {
    std::string data;
    std::string durable;
  };
  enum class OpKind { kWrite, kCreate, kRename, kExchange, kRemove };
  struct PendingOp {
    OpKind kind;
    std::string path;  // kCreate, kRename and kExchange (from), kRemove
    std::string to;    // kRename, kExchange
    size_t inode = 0;  // kWrite, kCreate
    std::string data;  // kWrite: the file's bytes after the write
  };

  // Counts one operation: success, or the failure it must end in.
  platform::Status proceed();
  bool shortWriteNow() const { return operations_ == shortWriteAt_; }
  bool directoryExists(const std::string& path) const;
  platform::Status append(size_t inode, std::string_view bytes);
  void syncData(size_t inode);

  std::vector<Inode> inodes_;
  std::map<std::string, size_t> visible_;
  std::map<std::string, size_t> durable_;
  std::set<std::string> directories_;
  std::vector<PendingOp> pending_;
  int64_t operations_ = 0;
  int64_t failAt_ = 0;
  int64_t shortWriteAt_ = 0;
  int64_t crashAt_ = 0;
  bool persistent_ = false;
  bool exchanges_ = false;
  bool fired_ = false;
  platform::Code error_ = platform::Code::kIoError;
  uint32_t tempCounter_ = 0;
};

}  // namespace tollwick::testing
