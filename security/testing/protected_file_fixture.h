#pragma once
// What the protected-file tests share: the real security library loaded from the
// build's application directory, real files in a fresh directory per test, a
// recording dialog, and a system header record with a known key text.

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "platform/seam.h"
#include "platform/testing/fake_process.h"
#include "runtime/testing/recording_dialog.h"
#include "security/security_library.h"

namespace tollwick::testing {

// The application directory of the build, where ZELKORSEC.so lies.
inline constexpr const char* kBuiltApplicationDirectory = TOLLWICK_BINARY_DIR "/bin";

// A byte string of the given values.
std::string bytesOf(std::initializer_list<int> values);
// `size` bytes of a fixed pseudo-random pattern.
std::string patternedData(size_t size, uint32_t salt = 1);
// The bytes of a host file; empty when it cannot be read.
std::string readWholeFile(const std::string& path);

// Forwards to another library and keeps the handles made and not yet freed, and how
// many transforms and checks it made of buffers of each length.
class CountingLibrary : public SecurityLibrary {
 public:
  explicit CountingLibrary(SecurityLibrary& real) : real_(real), installed_(*this) {}
  int32_t verify(const void* buffer, int32_t length, int32_t seed) override;
  int32_t mangle(void* buffer, int32_t length, int32_t seed, int32_t key) override;
  int32_t makeKey(int32_t check) override;
  int32_t freeKey(int32_t key) override;

  int made = 0;
  std::multiset<int32_t> live;
  std::map<int32_t, int> transforms;  // by length
  std::map<int32_t, int> checks;

 private:
  SecurityLibrary& real_;
  platform::Installed<SecurityLibrary> installed_;
};

class ProtectedFileTest : public ::testing::Test {
 protected:
  ProtectedFileTest();
  ~ProtectedFileTest() override;

  // The program path of `name` in this test's directory.
  std::string path(const std::string& name) const;
  void writeRaw(const std::string& name, const std::string& bytes) const;
  std::string readRaw(const std::string& name) const;

  // Stores `plain` at position 13 of a new file and protects it with SarnEncryptFile.
  void protect(const std::string& name, const std::string& plain, int32_t signature = 0,
               bool useFixedKey = false);
  // Opens the file and unprotects it; its plain data, or nothing when SarnDecryptFile
  // returned False. The file is closed afterwards without being protected again.
  std::optional<std::string> unprotect(const std::string& name, int32_t expectedSignature = 0,
                                       bool useFixedKey = false);

  // The system key made from the three key texts of a system header (texts 1, 2, 3),
  // as the game system joins them: third, first, second.
  void setKeyTexts(const std::string& first, const std::string& second, const std::string& third);
  // The fixed key text, or the system key text set last (empty at first).
  std::string keyText(bool useFixedKey) const;

  ScopedFakeProcess process_;
  ScopedRecordingDialog dialog_;

 private:
  std::string directory_;
  std::string systemKeyText_;
};

}  // namespace tollwick::testing
