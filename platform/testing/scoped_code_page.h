#pragma once
// The texts of a test in one code page, whatever the system's is: the system's own
// conversion of code page `number`, installed for the life of the object.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/code_page.h"
#include "platform/seam.h"

namespace tollwick::testing {

class ScopedCodePage {
 public:
  explicit ScopedCodePage(uint32_t number) : page_(made(number)), installed_(*page_) {}

 private:
  static std::unique_ptr<platform::CodePage> made(uint32_t number) {
    std::unique_ptr<platform::CodePage> page = platform::codePageNumbered(number);
    if (page == nullptr) {
      throw std::runtime_error("the system converts no code page " + std::to_string(number));
    }
    return page;
  }

  std::unique_ptr<platform::CodePage> page_;
  platform::Installed<platform::CodePage> installed_;
};

}  // namespace tollwick::testing
