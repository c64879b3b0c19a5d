#pragma once
// OtherWriterFs: the real file system, except that another program (the game, Wine's
// registry server) saves a file by a rename of its own while this program replaces it:
// before the new copy is written, or at the very moment the copy takes the file's place.

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "platform/testing/forwarding_fs.h"

namespace tollwick::testing {

class OtherWriterFs : public ForwardingFs {
 public:
  // The file saved (its path ends so), the save, and when it comes: at the placement of
  // the copy (rename or exchange), or before the copy is created.
  std::string file;
  std::function<void()> save;
  bool atPlacement = false;

  Result<std::unique_ptr<WritableFile>> createTempBeside(const std::string& target) override {
    if (!atPlacement) saveBefore(target);
    return ForwardingFs::createTempBeside(target);
  }
  Status rename(const std::string& from, const std::string& to) override {
    if (atPlacement) saveBefore(to);
    return ForwardingFs::rename(from, to);
  }
  Status exchange(const std::string& from, const std::string& to) override {
    if (atPlacement) saveBefore(to);
    return ForwardingFs::exchange(from, to);
  }

 private:
  // The save runs once.
  void saveBefore(const std::string& target) {
    if (save && target.ends_with(file)) std::exchange(save, nullptr)();
  }
};

}  // namespace tollwick::testing
