#pragma once
// Host paths as the program names them: the runtime takes paths as texts of the code
// page, the host's file system names them in UTF-8 (Linux) or UTF-16 (Windows).

#include <filesystem>
#include <string>

#include "platform/ansi_text.h"

namespace tollwick::kit {

// `path` as a text of the code page; a character it lacks is '?'.
inline std::string programPath(const std::filesystem::path& path) {
  return utf16ToAnsi(path.u16string());
}

// True when programPath(path) names `path` itself: the code page holds every character.
inline bool programCanName(const std::filesystem::path& path) {
  return ansiToUtf16(programPath(path)) == path.u16string();
}

}  // namespace tollwick::kit
