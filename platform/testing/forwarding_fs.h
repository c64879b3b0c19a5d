#pragma once
// ForwardingFs: the real file system, every call passed on, for tests that need to act
// at one moment of a run (override the call and forward to `real()`).

#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/seam.h"

namespace tollwick::testing {

class ForwardingFs : public platform::FileSystem {
 public:
  using FsStatus = platform::FsStatus;

  FsStatus readFile(const std::string& p, platform::ByteBuffer& out) override {
    return real_->readFile(p, out);
  }
  FsStatus readFileWithIdentity(const std::string& p, platform::ByteBuffer& out,
                                platform::FileIdentity& identity) override {
    return real_->readFileWithIdentity(p, out, identity);
  }
  FsStatus identify(const std::string& p, platform::FileIdentity& out) override {
    return real_->identify(p, out);
  }
  FsStatus mayWrite(const std::string& p, bool& out) override { return real_->mayWrite(p, out); }
  FsStatus mayDelete(const std::string& p, bool& out) override { return real_->mayDelete(p, out); }
  FsStatus adoptAttributes(const std::string& p, const std::string& model) override {
    return real_->adoptAttributes(p, model);
  }
  FsStatus lookup(const std::string& p, platform::DirEntry& out) override {
    return real_->lookup(p, out);
  }
  FsStatus listDirectory(const std::string& d, std::vector<platform::DirEntry>& out) override {
    return real_->listDirectory(d, out);
  }
  FsStatus createTempBeside(const std::string& target,
                            std::unique_ptr<platform::WritableFile>& out) override {
    return real_->createTempBeside(target, out);
  }
  FsStatus rename(const std::string& from, const std::string& to) override {
    return real_->rename(from, to);
  }
  FsStatus syncDirectoryOf(const std::string& p) override { return real_->syncDirectoryOf(p); }
  FsStatus remove(const std::string& p) override { return real_->remove(p); }
  FsStatus removeTemporary(const std::string& p) override { return real_->removeTemporary(p); }

 protected:
  platform::FileSystem& real() { return *real_; }

 private:
  std::unique_ptr<platform::FileSystem> real_ =
      platform::makeSystemFacility<platform::FileSystem>();
};

// The real file system, counting the renames that put a new file in place: how a test
// sees whether closing a file wrote it.
class CommitCountingFs : public ForwardingFs {
 public:
  int commits = 0;
  FsStatus rename(const std::string& from, const std::string& to) override {
    ++commits;
    return ForwardingFs::rename(from, to);
  }
};

}  // namespace tollwick::testing
