#include "platform/testing/scratch_directory.h"

#include <fstream>
#include <random>
#include <sstream>

namespace tollwick::testing {

namespace fs = std::filesystem;

ScratchDirectory::ScratchDirectory(const std::string& stem) {
  std::random_device random;
  // create_directory is false when the name is taken: another test run chose it first.
  do {
    path_ = fs::temp_directory_path() / (stem + std::to_string(random()) + std::to_string(random()));
  } while (!fs::create_directory(path_));
}

void ScratchDirectory::write(const std::string& name, const std::string& bytes) const {
  std::ofstream(file(name), std::ios::binary) << bytes;
}

std::string ScratchDirectory::read(const std::string& name) const {
  std::ifstream in(file(name), std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code ignored;
  // A test may have made parts read-only; removal needs them writable again.
  for (auto it = fs::recursive_directory_iterator(path_, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
  }
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

}  // namespace tollwick::testing
