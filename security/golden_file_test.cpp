// Golden protected files: their exact bytes are the stored format. A change of the
// security library or of the protected-file layer that alters them makes every file
// already written unreadable, so it must not pass unnoticed.
//
// To write new golden files after a deliberate change of format, run the test with
// TOLLWICK_WRITE_GOLDEN=1 and commit the files of security/testdata/.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "security/sarn_security.h"
#include "security/testing/protected_file_fixture.h"

namespace tollwick {
namespace {

struct Golden {
  const char* file;
  int32_t signature;
  bool useFixedKey;
};

std::string goldenPlainData() {
  std::string plain = "Golden protected file of the Zelkor character repair.\r\n";
  for (int i = 0; i < 40; ++i) plain.push_back(static_cast<char>(i * 7));
  return plain;
}

std::string testdataPath(const char* file) {
  return std::string(TOLLWICK_SOURCE_DIR) + "/security/testdata/" + file;
}

std::string hex(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out.push_back(kDigits[c >> 4]);
    out.push_back(kDigits[c & 15]);
  }
  return out;
}

class GoldenFileTest : public testing::ProtectedFileTest,
                       public ::testing::WithParamInterface<Golden> {};

TEST_P(GoldenFileTest, ProtectingTheDataGivesTheGoldenBytesAndUnprotectingThemTheData) {
  const Golden& golden = GetParam();
  protect("G.DED", goldenPlainData(), golden.signature, golden.useFixedKey);
  const std::string produced = readRaw("G.DED");

  const char* write = std::getenv("TOLLWICK_WRITE_GOLDEN");
  if (write != nullptr && std::string(write) == "1") {
    std::ofstream(testdataPath(golden.file), std::ios::binary) << produced;
  }
  const std::string expected = testing::readWholeFile(testdataPath(golden.file));
  ASSERT_EQ(expected.size(), goldenPlainData().size() + 12) << "missing " << golden.file;
  EXPECT_EQ(hex(produced), hex(expected));

  writeRaw("Stored.DED", expected);
  EXPECT_EQ(unprotect("Stored.DED", golden.signature, golden.useFixedKey), goldenPlainData());
}

std::string nameOf(const ::testing::TestParamInfo<Golden>& param) {
  return param.param.useFixedKey ? "FixedKey" : "SystemKey";
}

INSTANTIATE_TEST_SUITE_P(Files, GoldenFileTest,
                         ::testing::Values(Golden{"golden_system_key.DED", 0x0BADF00D, false},
                                           Golden{"golden_fixed_key.MSF", 0, true}),
                         nameOf);

}  // namespace
}  // namespace tollwick
