#include "platform/testing/scratch_directory.h"

#include <fstream>
#include <random>
#include <sstream>

#ifdef _WIN32
#include <gtest/gtest.h>

#include <cstdlib>
#endif

namespace tollwick::testing {

namespace fs = std::filesystem;

#ifdef _WIN32
// Windows has no fork: a death test runs the test again in a new process up to the
// statement that is to die, and that process must work in the directory of the test
// that started it, not in a fresh one. The directory in use is handed down in the
// environment.
namespace {
std::string inheritedVariable(const std::string& stem) { return "TOLLWICK_SCRATCH_" + stem; }
}  // namespace
#endif

ScratchDirectory::ScratchDirectory(const std::string& stem) {
#ifdef _WIN32
  const std::string variable = inheritedVariable(stem);
  if (!GTEST_FLAG_GET(internal_run_death_test).empty()) {
    const char* inherited = std::getenv(variable.c_str());
    if (inherited != nullptr && *inherited != '\0') {
      path_ = inherited;
      inherited_ = true;
      return;
    }
  }
#endif
  std::random_device random;
  // create_directory is false when the name is taken: another test run chose it first.
  do {
    path_ =
        fs::temp_directory_path() / (stem + std::to_string(random()) + std::to_string(random()));
  } while (!fs::create_directory(path_));
#ifdef _WIN32
  _putenv_s(variable.c_str(), path_.string().c_str());
#endif
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
  if (inherited_) return;  // its owner removes it
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
