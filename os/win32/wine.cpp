// The Wine facility on Windows: Windows runs Windows programs itself, so there is no
// Wine to find and nothing is ever handed to one.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/seam.h"
#include "platform/wine.h"

namespace tollwick::platform {
namespace {

class Win32Wine : public Wine {
 public:
  std::string find() override { return ""; }
  std::string windowsPath(const std::string& path) override { return path; }
  void usePrefixHolding(const std::string&) override {}
  std::string prefixName() override { return ""; }
  bool wouldUpdatePrefix(const std::string&) override { return false; }
  bool runs32BitPrograms() override { return true; }
  Result<int> run(const std::string&, const std::vector<std::string>&,
                  const std::vector<std::pair<std::string, std::string>>&) override {
    return Status(Code::kNotSupported, "Windows programs run without Wine here");
  }
};

}  // namespace

template <>
std::unique_ptr<Wine> makeSystemFacility<Wine>() {
  return std::make_unique<Win32Wine>();
}

}  // namespace tollwick::platform
