// The resource-library facility of the system: library paths given as program paths.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/resource_library.h"
#include "platform/seam.h"

namespace tollwick::platform {
namespace {

TEST(SystemResourceLibrary, AProgramPathWithBackslashesAndOtherCaseLoads) {
  std::string path = std::string(TOLLWICK_BINARY_DIR) + "\\BIN\\zelkor.DLL";
  auto module = use<ResourceLoader>().load(path);
  ASSERT_TRUE(module.ok()) << path;
  char buffer[16];
  EXPECT_EQ((*module)->loadString(263, buffer, sizeof buffer), 6);
  EXPECT_STREQ(buffer, "Zelkor");
}

// Why a library could not be loaded reaches the caller: a missing file is the file
// system's, a file that is no resource library is damaged.
TEST(SystemResourceLibrary, AMissingFileAndAFileThatIsNoLibrarySayWhichItIs) {
  EXPECT_EQ(use<ResourceLoader>().load(std::string(TOLLWICK_BINARY_DIR) + "/bin/none.dll").status(),
            Code::kNotFound);
  EXPECT_EQ(use<ResourceLoader>().load("").status(), Code::kInvalidArgument);
  const std::string notALibrary = std::string(TOLLWICK_BINARY_DIR) + "/not-a-library.dll";
  std::ofstream(notALibrary, std::ios::binary) << "MZ but nothing after it";
  EXPECT_EQ(use<ResourceLoader>().load(notALibrary).status(), Code::kDamaged);
  std::remove(notALibrary.c_str());
}

}  // namespace
}  // namespace tollwick::platform
