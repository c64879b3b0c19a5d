#include "tools/game_file_writer.h"

#include <array>

#include "runtime/binary_file.h"
#include "runtime/file_commands.h"
#include "runtime/run_time_error.h"
#include "security/sarn_security.h"
#include "system/system_state.h"

namespace tollwick::kit {

ContentBuilder& ContentBuilder::integer(int16_t value) {
  const auto bits = static_cast<uint16_t>(value);
  content_.push_back(static_cast<uint8_t>(bits & 0xFF));
  content_.push_back(static_cast<uint8_t>(bits >> 8));
  return *this;
}

ContentBuilder& ContentBuilder::longValue(int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) {
    content_.push_back(static_cast<uint8_t>((bits >> shift) & 0xFF));
  }
  return *this;
}

ContentBuilder& ContentBuilder::bytes(std::span<const uint8_t> data) {
  content_.insert(content_.end(), data.begin(), data.end());
  return *this;
}

ContentBuilder& ContentBuilder::text(const std::string& text) {
  content_.insert(content_.end(), text.begin(), text.end());
  return *this;
}

ContentBuilder& ContentBuilder::longCountedText(const std::string& value) {
  return longValue(static_cast<int32_t>(value.size())).text(value);
}

ContentBuilder& ContentBuilder::integerCountedText(const std::string& value) {
  return integer(static_cast<int16_t>(value.size())).text(value);
}

void writeProtectedFile(const std::string& path, std::span<const uint8_t> content,
                        int32_t signature, bool useFixedKey) {
  if (!firstFileMatching(path).empty()) deleteFilesMatching(path);
  int16_t fileNumber = freeFile();
  openBinary(fileNumber, path);
  writeBytes(fileNumber, 1, std::array<uint8_t, 12>{});
  if (!content.empty()) writeBytes(fileNumber, SarnDataStart(), content);
  if (!SarnEncryptFile(fileNumber, loadedKeyText(useFixedKey), signature)) {
    raiseError(err::kDeviceIoError, "Cannot protect " + path);
  }
  closeFile(fileNumber);
}

std::vector<uint8_t> masterHeaderContent(const std::string& masterText,
                                         const std::vector<SystemEntry>& systems) {
  ContentBuilder builder;
  builder.integerCountedText(masterText).integer(static_cast<int16_t>(systems.size()));
  for (const SystemEntry& entry : systems) {
    builder.longCountedText(entry.name)
        .longCountedText(entry.secondText)
        .longCountedText(entry.directory);
  }
  return builder.content();
}

std::vector<uint8_t> systemHeaderContent(const SystemHeaderRecord& record,
                                         const std::array<int32_t, 10>& trailer) {
  ContentBuilder builder;
  for (size_t text = 0; text < 7; ++text) builder.longCountedText(record.texts[text]);
  for (int16_t value : record.values) builder.integer(value);
  for (size_t text = 7; text < 12; ++text) builder.longCountedText(record.texts[text]);
  for (int32_t value : trailer) builder.longValue(value);
  return builder.content();
}

std::vector<uint8_t> systemDataContent(const std::string& signatureText) {
  // Positions 13 to 24 are not read; P (at 25) points just past eight filler bytes.
  const std::string filler12 = "ZELKOR DATA ";
  const std::string filler8 = "SYSDATA:";
  ContentBuilder builder;
  builder.text(filler12).longValue(37).text(filler8).integerCountedText(signatureText);
  builder.text("Remaining system data that this utility does not read.");
  return builder.content();
}

}  // namespace tollwick::kit
