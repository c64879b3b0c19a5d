#pragma once
// The record of the chosen system, as loaded from its system header file: twelve texts
// and fourteen 16-bit values, plus the system directory, which is not in the file.

#include <array>
#include <cstdint>
#include <string>

namespace tollwick {

struct SystemHeaderRecord {
  // texts[0] is text 1 (system name), texts[1] text 2, texts[2] text 3, ... texts[11]
  // text 12. Texts 1 to 3 make the key text of the system's protected files.
  std::array<std::string, 12> texts;
  // values[0] is value 1 ... values[13] value 14.
  std::array<int16_t, 14> values{};
  // The system's directory, relative to the system root directory, ending in "\".
  std::string systemDirectory;
};

// The key text of the system's protected files: texts 3, 1 and 2 joined.
inline std::string systemKeyText(const SystemHeaderRecord& header) {
  return header.texts[2] + header.texts[0] + header.texts[1];
}

}  // namespace tollwick
