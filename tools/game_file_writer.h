#pragma once
// Writing game files as the game stores them: plain content is assembled through the
// runtime's binary files and protected through the protected-file layer, so that the
// files made here are read by exactly the code that reads the game's own.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "system/system_header_record.h"
#include "system/system_state.h"

namespace tollwick::kit {

// Plain content (from position 13 on) built field by field, little-endian.
class ContentBuilder {
 public:
  ContentBuilder& integer(int16_t value);
  ContentBuilder& longValue(int32_t value);
  ContentBuilder& bytes(std::span<const uint8_t> data);
  ContentBuilder& text(const std::string& text);
  // A text preceded by its length as a 32-bit value.
  ContentBuilder& longCountedText(const std::string& text);
  // A text preceded by its length as a 16-bit value.
  ContentBuilder& integerCountedText(const std::string& text);

  const std::vector<uint8_t>& content() const { return content_; }

 private:
  std::vector<uint8_t> content_;
};

// Writes `content` at position 13 of a new file `path` (replacing any file there) and
// protects it with `signature`, with the fixed key or with the key text of
// systemState().header. Errors are run-time errors.
void writeProtectedFile(const std::string& path, std::span<const uint8_t> content,
                        int32_t signature, bool useFixedKey);

// The plain content of a master system header listing `systems`.
std::vector<uint8_t> masterHeaderContent(const std::string& masterText,
                                         const std::vector<SystemEntry>& systems);

// The plain content of a system header: texts 1 to 7, values 1 to 14, texts 8 to 12,
// ten trailer values.
std::vector<uint8_t> systemHeaderContent(const SystemHeaderRecord& record,
                                         const std::array<int32_t, 10>& trailer);

// The plain content of a system data file whose signature text is `signatureText`
// (P = 37: eight filler bytes follow the position field).
std::vector<uint8_t> systemDataContent(const std::string& signatureText);

}  // namespace tollwick::kit
