#pragma once
// A test fixture holding a sample game installation in a fresh temporary directory,
// with the program's module-level state pointed at it: the system root directory and
// the current system directory, a process whose application directory holds the built
// ZELKORSEC.so, a recording dialog, and game strings "<id>".

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/testing/fake_process.h"
#include "platform/testing/scratch_directory.h"
#include "resources/testing/scoped_game_strings.h"
#include "runtime/testing/recording_dialog.h"
#include "system/system_state.h"
#include "tools/make_install.h"

namespace tollwick {

// System entries compare field by field in tests.
inline bool operator==(const SystemEntry& a, const SystemEntry& b) {
  return a.name == b.name && a.secondText == b.secondText && a.directory == b.directory;
}

}  // namespace tollwick

namespace tollwick::testing {

// Boxes print readably in test failures.
inline void PrintTo(const ShownBox& box, std::ostream* out) {
  *out << "{\"" << box.prompt << "\", " << box.style << ", \"" << box.caption << "\", "
       << box.answer << "}";
}

}  // namespace tollwick::testing

namespace tollwick::kit {

class InstallationFixture : public ::testing::Test {
 protected:
  InstallationFixture();
  ~InstallationFixture() override;

  // Writes the game files of `options` (no program files) and returns the system
  // signature; systemState().header then holds the system's header record.
  int32_t install(const InstallationOptions& options = {});

  // Host paths: the installation, System/, System/Zelkor/ and a file in it.
  const std::string& root() const { return root_; }
  std::string systemRoot() const { return root_ + "/System"; }
  std::string systemDirectory() const { return root_ + "/System/Zelkor"; }
  std::string gameFile(const std::string& name) const { return systemDirectory() + "/" + name; }

  // The whole file, or nothing when it does not exist.
  static std::optional<std::vector<uint8_t>> fileBytes(const std::string& path);
  static void writeHostFile(const std::string& path, const std::vector<uint8_t>& bytes);

  // The file's image after unprotecting it (positions 1 to 12 still protected); nothing
  // when it does not unprotect. Nothing is written.
  static std::optional<std::vector<uint8_t>> plainImage(const std::string& path,
                                                        int32_t expectedSignature,
                                                        bool useFixedKey = false);

  // True when the file unprotects expecting `signature` but not expecting another
  // non-zero value: it carries exactly `signature` (for `signature` 0: it carries 0).
  static bool carriesSignature(const std::string& path, int32_t signature);

  testing::ScopedFakeProcess process_;
  testing::ScopedRecordingDialog dialog_;
  testing::ScopedGameStrings strings_;

 private:
  testing::ScratchDirectory scratch_{"tollwick-install-"};
  std::string root_;
};

// Little-endian fields of a plain image, at one-based positions.
int16_t integerAt(const std::vector<uint8_t>& image, int64_t position);
int32_t longAt(const std::vector<uint8_t>& image, int64_t position);

}  // namespace tollwick::kit
