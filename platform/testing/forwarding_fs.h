#pragma once
// ForwardingFs: the real file system, every call passed on, for tests that need to act
// at one moment of a run (override the call and forward to `real()`).

#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/seam.h"
#include "platform/status.h"

namespace tollwick::testing {

class ForwardingFs : public platform::FileSystem {
 public:
  using ByteBuffer = platform::ByteBuffer;
  using DirEntry = platform::DirEntry;
  using FileIdentity = platform::FileIdentity;
  using FileRead = platform::FileRead;
  using Status = platform::Status;
  using WritableFile = platform::WritableFile;
  template <class T>
  using Result = platform::Result<T>;

  Result<ByteBuffer> readFile(const std::string& p, uint64_t limit) override {
    return real_->readFile(p, limit);
  }
  Result<FileRead> readFileWithIdentity(const std::string& p, uint64_t limit) override {
    return real_->readFileWithIdentity(p, limit);
  }
  Result<ByteBuffer> readFilePart(const std::string& p, uint64_t offset, size_t length) override {
    return real_->readFilePart(p, offset, length);
  }
  Result<FileIdentity> identify(const std::string& p) override { return real_->identify(p); }
  Result<bool> mayWrite(const std::string& p) override { return real_->mayWrite(p); }
  Result<bool> mayDelete(const std::string& p) override { return real_->mayDelete(p); }
  Status adoptAttributes(const std::string& p, const std::string& model) override {
    return real_->adoptAttributes(p, model);
  }
  Result<DirEntry> lookup(const std::string& p) override { return real_->lookup(p); }
  Result<std::vector<DirEntry>> listDirectory(const std::string& d) override {
    return real_->listDirectory(d);
  }
  Result<std::unique_ptr<WritableFile>> createTempBeside(const std::string& target) override {
    return real_->createTempBeside(target);
  }
  Status rename(const std::string& from, const std::string& to) override {
    return real_->rename(from, to);
  }
  Status exchange(const std::string& from, const std::string& to) override {
    return real_->exchange(from, to);
  }
  Status syncDirectoryOf(const std::string& p) override { return real_->syncDirectoryOf(p); }
  Status remove(const std::string& p) override { return real_->remove(p); }
  Status removeTemporary(const std::string& p) override { return real_->removeTemporary(p); }

 protected:
  platform::FileSystem& real() { return *real_; }

 private:
  std::unique_ptr<platform::FileSystem> real_ =
      platform::makeSystemFacility<platform::FileSystem>();
};

// The real file system, counting the renames and exchanges that put a new file in
// place: how a test sees whether closing a file wrote it.
class CommitCountingFs : public ForwardingFs {
 public:
  int commits = 0;
  Status rename(const std::string& from, const std::string& to) override {
    ++commits;
    return ForwardingFs::rename(from, to);
  }
  Status exchange(const std::string& from, const std::string& to) override {
    Status status = ForwardingFs::exchange(from, to);
    if (status.ok()) ++commits;  // a file system without the exchange renames instead
    return status;
  }
};

}  // namespace tollwick::testing
