// The resource-library facility of the system: library paths given as program paths.

#include <gtest/gtest.h>

#include <string>

#include "platform/resource_library.h"
#include "platform/seam.h"

namespace tollwick::platform {
namespace {

TEST(SystemResourceLibrary, AProgramPathWithBackslashesAndOtherCaseLoads) {
  std::string path = std::string(TOLLWICK_BINARY_DIR) + "\\BIN\\zelkor.DLL";
  auto module = use<ResourceLoader>().load(path);
  ASSERT_NE(module, nullptr) << path;
  char buffer[16];
  EXPECT_EQ(module->loadString(263, buffer, sizeof buffer), 6);
  EXPECT_STREQ(buffer, "Zelkor");
  EXPECT_EQ(use<ResourceLoader>().load(std::string(TOLLWICK_BINARY_DIR) + "/bin/none.dll"),
            nullptr);
  EXPECT_EQ(use<ResourceLoader>().load(""), nullptr);
}

}  // namespace
}  // namespace tollwick::platform
