#pragma once
// The command line of zelkor-kit.

#include <optional>
#include <string>
#include <vector>

#include "tools/localization.h"
#include "tools/make_install.h"

namespace tollwick::kit {

struct KitCommand {
  enum class Kind { kHelp, kVersion, kMakeInstall, kInspect } kind = Kind::kHelp;
  std::string target;  // DIR for make-install, FILE for inspect
  // The texts of `options` are as given (UTF-8): the caller converts them to the code
  // page, the localisation's when there is one, else the system's.
  InstallationOptions options;
  const Localization* localization = nullptr;  // --language
};

// Parses the arguments after the program name. Throws std::invalid_argument with a
// message naming the offending argument.
KitCommand parseKitCommand(const std::vector<std::string>& args);

// A size such as 4096, 64K, 256M or 1G (powers of 1024).
int64_t parseSize(const std::string& text);

extern const char* const kKitHelp;

}  // namespace tollwick::kit
