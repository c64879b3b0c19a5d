#include "platform/testing/fault_fs.h"

#include <map>
#include <random>
#include <utility>

#include "platform/temporary_names.h"

namespace tollwick::testing {

using platform::ByteBuffer;
using platform::Code;
using platform::DirEntry;
using platform::EntryKind;
using platform::Result;
using platform::Status;

namespace {

// Swaps what the names `a` and `b` hold, where both hold a file.
void swapNames(std::map<std::string, size_t>& names, const std::string& a, const std::string& b) {
  const auto first = names.find(a);
  const auto second = names.find(b);
  if (first != names.end() && second != names.end()) std::swap(first->second, second->second);
}

std::string parentOf(const std::string& path) {
  const size_t cut = path.find_last_of('\\');
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string nameOf(const std::string& path) {
  const size_t cut = path.find_last_of('\\');
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string withoutTrailingSeparator(std::string directory) {
  while (!directory.empty() && directory.back() == '\\') directory.pop_back();
  return directory;
}

}  // namespace

class FaultFile : public platform::WritableFile {
 public:
  FaultFile(FaultFs& fs, std::string path, size_t inode)
      : fs_(fs), path_(std::move(path)), inode_(inode) {}
  const std::string& path() const override { return path_; }
  Status append(std::span<const uint8_t> bytes) override {
    return fs_.append(inode_, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
  }
  Status sync() override {
    Status status = fs_.proceed();
    if (status.ok()) fs_.syncData(inode_);
    return status;
  }
  Status close() override { return fs_.proceed(); }

 private:
  FaultFs& fs_;
  std::string path_;
  size_t inode_;
};

void FaultFs::putFile(const std::string& path, const std::string& bytes) {
  addDirectory(parentOf(path));
  inodes_.push_back({bytes, bytes});
  visible_[path] = durable_[path] = inodes_.size() - 1;
}

void FaultFs::addDirectory(const std::string& directory) {
  directories_.insert(withoutTrailingSeparator(directory));
}

void FaultFs::failAt(int64_t n, Code error, bool persistent) {
  failAt_ = n;
  error_ = error;
  persistent_ = persistent;
}

void FaultFs::shortWriteAt(int64_t n) { shortWriteAt_ = n; }

void FaultFs::crashAt(int64_t n) { crashAt_ = n; }

std::optional<std::string> FaultFs::visibleFile(const std::string& path) const {
  const auto it = visible_.find(path);
  if (it == visible_.end()) return std::nullopt;
  return inodes_[it->second].data;
}

std::map<std::string, std::string> FaultFs::visibleFiles() const {
  std::map<std::string, std::string> files;
  for (const auto& [path, inode] : visible_) files[path] = inodes_[inode].data;
  return files;
}

std::map<std::string, std::string> FaultFs::diskAfterCrash(Survivors survivors,
                                                           uint32_t seed) const {
  std::map<std::string, size_t> names = durable_;
  std::vector<std::string> data;
  for (const Inode& inode : inodes_) data.push_back(inode.durable);
  std::mt19937 random(seed);
  for (const PendingOp& op : pending_) {
    const bool kept = survivors == Survivors::kAll ||
                      (survivors == Survivors::kSeededSubset && (random() & 1) != 0);
    if (!kept) continue;
    switch (op.kind) {
      case OpKind::kWrite:
        data[op.inode] = op.data;
        break;
      case OpKind::kCreate:
        names[op.path] = op.inode;
        break;
      case OpKind::kRemove:
        names.erase(op.path);
        break;
      case OpKind::kRename:
        if (const auto it = names.find(op.path); it != names.end()) {
          names[op.to] = it->second;
          names.erase(op.path);
        }
        break;
      case OpKind::kExchange:
        swapNames(names, op.path, op.to);
        break;
    }
  }
  std::map<std::string, std::string> disk;
  for (const auto& [path, inode] : names) disk[path] = data[inode];
  return disk;
}

Status FaultFs::proceed() {
  ++operations_;
  if (crashAt_ > 0 && operations_ >= crashAt_) {
    fired_ = true;
    return Code::kIoError;
  }
  if (failAt_ > 0 && (operations_ == failAt_ || (persistent_ && operations_ > failAt_))) {
    fired_ = true;
    return error_;
  }
  return {};
}

bool FaultFs::directoryExists(const std::string& path) const {
  return directories_.count(parentOf(path)) != 0;
}

Status FaultFs::append(size_t inode, std::string_view bytes) {
  if (Status status = proceed(); !status.ok()) return status;
  const bool shortWrite = shortWriteNow();
  if (shortWrite) {
    fired_ = true;
    bytes = bytes.substr(0, bytes.size() / 2);
  }
  inodes_[inode].data.append(bytes);
  pending_.push_back({OpKind::kWrite, "", "", inode, inodes_[inode].data});
  return shortWrite ? Status(Code::kNoSpace) : Status();
}

void FaultFs::syncData(size_t inode) {
  inodes_[inode].durable = inodes_[inode].data;
  std::erase_if(pending_, [inode](const PendingOp& op) {
    return op.kind == OpKind::kWrite && op.inode == inode;
  });
}

Result<ByteBuffer> FaultFs::readFile(const std::string& path, uint64_t limit) {
  if (Status status = proceed(); !status.ok()) return status;
  const auto it = visible_.find(path);
  if (it == visible_.end()) {
    if (directories_.count(path) != 0) return Code::kUnusable;
    return directoryExists(path) ? Code::kNotFound : Code::kPathNotFound;
  }
  const std::string& data = inodes_[it->second].data;
  if (data.size() > limit) return Code::kTooLarge;
  return ByteBuffer(data.begin(), data.end());
}

Result<DirEntry> FaultFs::lookup(const std::string& path) {
  if (Status status = proceed(); !status.ok()) return status;
  DirEntry entry;
  entry.name = nameOf(path);
  if (directories_.count(withoutTrailingSeparator(path)) != 0) {
    entry.kind = EntryKind::kDirectory;
  } else if (visible_.count(path) != 0) {
    entry.kind = entry.name.starts_with('.') ? EntryKind::kHiddenFile : EntryKind::kNormalFile;
  } else {
    return directoryExists(path) ? Code::kNotFound : Code::kPathNotFound;
  }
  return entry;
}

Result<std::vector<DirEntry>> FaultFs::listDirectory(const std::string& directory) {
  if (Status status = proceed(); !status.ok()) return status;
  const std::string dir = withoutTrailingSeparator(directory);
  if (directories_.count(dir) == 0) return Code::kPathNotFound;
  std::vector<DirEntry> entries;
  for (const auto& [path, inode] : visible_) {
    if (parentOf(path) != dir) continue;
    const std::string name = nameOf(path);
    entries.push_back(
        {name, name.starts_with('.') ? EntryKind::kHiddenFile : EntryKind::kNormalFile});
  }
  for (const std::string& sub : directories_) {
    if (!sub.empty() && parentOf(sub) == dir) {
      entries.push_back({nameOf(sub), EntryKind::kDirectory});
    }
  }
  return entries;
}

Result<std::unique_ptr<platform::WritableFile>> FaultFs::createTempBeside(
    const std::string& target) {
  if (Status status = proceed(); !status.ok()) return status;
  if (!directoryExists(target)) return Code::kPathNotFound;
  const std::string dir = parentOf(target);
  const std::string path =
      (dir.empty() ? "" : dir + "\\") + platform::temporaryNameFor(nameOf(target), ++tempCounter_);
  inodes_.push_back({});
  visible_[path] = inodes_.size() - 1;
  pending_.push_back({OpKind::kCreate, path, "", inodes_.size() - 1, ""});
  return std::unique_ptr<platform::WritableFile>(
      std::make_unique<FaultFile>(*this, path, inodes_.size() - 1));
}

Status FaultFs::rename(const std::string& from, const std::string& to) {
  if (Status status = proceed(); !status.ok()) return status;
  const auto it = visible_.find(from);
  if (it == visible_.end()) return Code::kNotFound;
  if (!directoryExists(to)) return Code::kPathNotFound;
  const size_t inode = it->second;
  visible_.erase(it);
  visible_[to] = inode;
  pending_.push_back({OpKind::kRename, from, to, 0, ""});
  return {};
}

Status FaultFs::exchange(const std::string& from, const std::string& to) {
  if (!exchanges_) return Status(Code::kNotSupported, from);
  if (Status status = proceed(); !status.ok()) return status;
  if (visible_.count(from) == 0 || visible_.count(to) == 0) return Code::kNotFound;
  swapNames(visible_, from, to);
  pending_.push_back({OpKind::kExchange, from, to, 0, ""});
  return {};
}

Status FaultFs::syncDirectoryOf(const std::string& path) {
  if (Status status = proceed(); !status.ok()) return status;
  const std::string dir = parentOf(path);
  // The directory's name operations become durable in their order; data writes and
  // other directories' operations stay pending.
  std::vector<PendingOp> remaining;
  for (PendingOp& op : pending_) {
    const bool here =
        op.kind != OpKind::kWrite && parentOf(op.path) == dir &&
        ((op.kind != OpKind::kRename && op.kind != OpKind::kExchange) || parentOf(op.to) == dir);
    if (!here) {
      remaining.push_back(std::move(op));
      continue;
    }
    if (op.kind == OpKind::kCreate) durable_[op.path] = op.inode;
    if (op.kind == OpKind::kRemove) durable_.erase(op.path);
    if (op.kind == OpKind::kRename) {
      if (const auto it = durable_.find(op.path); it != durable_.end()) {
        durable_[op.to] = it->second;
        durable_.erase(op.path);
      }
    }
    if (op.kind == OpKind::kExchange) swapNames(durable_, op.path, op.to);
  }
  pending_ = std::move(remaining);
  return {};
}

Status FaultFs::remove(const std::string& path) {
  if (Status status = proceed(); !status.ok()) return status;
  if (visible_.erase(path) == 0) {
    return directoryExists(path) ? Code::kNotFound : Code::kPathNotFound;
  }
  pending_.push_back({OpKind::kRemove, path, "", 0, ""});
  return {};
}

std::vector<std::map<std::string, std::string>> FaultFs::possibleDisksAfterCrash(
    uint32_t seededSubsets) const {
  std::vector<std::map<std::string, std::string>> disks;
  disks.push_back(diskAfterCrash(Survivors::kNone));
  disks.push_back(diskAfterCrash(Survivors::kAll));
  for (uint32_t seed = 2; seed < 2 + seededSubsets; ++seed) {
    disks.push_back(diskAfterCrash(Survivors::kSeededSubset, seed));
  }
  return disks;
}

}  // namespace tollwick::testing
