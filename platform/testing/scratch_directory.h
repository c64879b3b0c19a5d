#pragma once
// A fresh directory of its own under the system's temporary directory for one test,
// removed with everything in it (write permissions restored first) when the object dies.

#include <filesystem>
#include <string>

namespace tollwick::testing {

class ScratchDirectory {
 public:
  explicit ScratchDirectory(const std::string& stem = "tollwick-test-");
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The host path of `name` inside the directory.
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  // Writes `bytes` as the whole file `name`; reads the whole file back ("" if absent).
  void write(const std::string& name, const std::string& bytes) const;
  std::string read(const std::string& name) const;

 private:
  std::filesystem::path path_;
  bool inherited_ = false;  // the directory of the test that started this process
};

}  // namespace tollwick::testing
