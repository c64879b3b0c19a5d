#include "tools/inspect.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <ostream>
#include <set>
#include <vector>

#include "base/text.h"
#include "platform/ansi_text.h"
#include "platform/code_page.h"
#include "platform/seam.h"
#include "repair/character_file.h"
#include "runtime/binary_file.h"
#include "runtime/file_commands.h"
#include "runtime/run_time_error.h"
#include "security/sarn_security.h"
#include "system/checked_reads.h"
#include "system/system_data_file.h"
#include "system/system_header.h"
#include "system/system_state.h"
#include "tools/program_path.h"

namespace tollwick::kit {
namespace {

namespace fs = std::filesystem;

// Opens `path` and unprotects its image. Returns the open file number, or nothing when
// the file does not unprotect (the layer has closed it; nothing was written).
std::optional<int16_t> openUnprotected(const std::string& path, int32_t expectedSignature,
                                       bool useFixedKey) {
  int16_t fileNumber = freeFile();
  openBinary(fileNumber, path);
  if (!SarnDecryptFile(fileNumber, loadedKeyText(useFixedKey), expectedSignature)) {
    if (isOpen(fileNumber)) abandonAllFiles();
    return std::nullopt;
  }
  return fileNumber;
}

// Unprotects and forgets: true when the file unprotects with these options.
bool unprotects(const std::string& path, int32_t expectedSignature, bool useFixedKey) {
  const bool ok = openUnprotected(path, expectedSignature, useFixedKey).has_value();
  abandonAllFiles();
  return ok;
}

// Texts 1 to 3 of the system header in `directory`, read without rewriting it.
std::optional<SystemHeaderRecord> keyTextsBeside(const fs::path& directory) {
  const std::string path = programPath(directory / kSystemHeaderName);
  if (firstFileMatching(path).empty()) return std::nullopt;
  const auto file = openUnprotected(path, 0, true);
  if (!file) return std::nullopt;
  SystemHeaderRecord record;
  int64_t position = SarnDataStart();
  for (size_t text = 0; text < 3; ++text) record.texts[text] = readLongCountedText(*file, position);
  abandonAllFiles();
  return record;
}

// The system signature worked out from the system data file in `directory`.
std::optional<int32_t> systemSignatureBeside(const fs::path& directory) {
  const std::string path = programPath(directory / kSystemDataFileName);
  if (firstFileMatching(path).empty()) return std::nullopt;
  const auto file = openUnprotected(path, 0, false);
  if (!file) return std::nullopt;
  const int32_t textPosition = readInt32(*file, SarnDataStart() + 12);
  requireInFile(*file, textPosition, 2);
  const int16_t length = readInt16(*file, textPosition);
  const std::string text = readCheckedText(*file, int64_t{textPosition} + 2, length);
  abandonAllFiles();
  return signatureOfText(text);
}

std::string hex(int32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(value));
  return buffer;
}

// The signature a file carries, found by asking the protected-file layer which expected
// signatures it accepts (a stored 0 is accepted for any).
std::string describeSignature(const std::string& path, bool useFixedKey,
                              std::optional<int32_t> systemSignature) {
  const int32_t probe = systemSignature.value_or(0x13572468) ^ 0x5A5A5A5A;
  const bool acceptsProbe = unprotects(path, probe == 0 ? 1 : probe, useFixedKey);
  if (!systemSignature || *systemSignature == 0) {
    return acceptsProbe ? "0 (none)" : "a non-zero signature";
  }
  if (!unprotects(path, *systemSignature, useFixedKey)) {
    return "a foreign signature (not the system signature " + hex(*systemSignature) + ")";
  }
  return acceptsProbe ? "0 (none)" : "the system signature " + hex(*systemSignature);
}

// A text of the game in quotes, in UTF-8 for the terminal; NULs shown as \0.
std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : ansiToUtf8(text)) {
    if (c == '\0') {
      out += "\\0";
    } else {
      out += c;
    }
  }
  return out + "\"";
}

struct SlotReport {
  int slot = 0;
  int32_t position = 0;
  std::string state;  // live, NUL name, all-spaces name, outside the file
  std::string name;
};

void reportCharacterFile(int16_t file, std::ostream& out) {
  const int64_t length = lengthOfFile(file);
  if (length < charfile::kHeaderEnd) {
    out << "character file: too short for its index (" << length << " bytes)\n";
    return;
  }
  const int16_t count = readInt16(file, charfile::kCountPosition);
  std::vector<SlotReport> slots;
  std::set<int32_t> livePositions;
  int nulNames = 0, spaceNames = 0, outside = 0;
  CharacterRecord record{};
  for (int slot = 0; slot < charfile::kSlotCount; ++slot) {
    const int32_t value = readInt32(file, slotPosition(slot));
    if (!slotInUse(value)) continue;
    SlotReport report{slot, value, "", ""};
    if (!recordLiesInFile(value, length)) {
      report.state = "outside the file";
      ++outside;
    } else {
      readBytes(file, value, record);
      report.name = recordName(record);
      if (isLiveRecord(record)) {
        report.state = "live";
        livePositions.insert(value);
      } else if (record[charfile::kNameOffset] == 0) {
        report.state = "dead (NUL name)";
        ++nulNames;
      } else {
        report.state = "dead (all-spaces name)";
        ++spaceNames;
      }
    }
    slots.push_back(report);
  }

  const int64_t area = length - charfile::kHeaderEnd;
  const int64_t inLive = static_cast<int64_t>(livePositions.size()) * charfile::kRecordSize;
  out << "character file:\n"
      << "  version: " << quoted(readText(file, charfile::kVersionTextPosition, 6)) << "\n"
      << "  count: " << count << "\n"
      << "  slots in use: " << slots.size() << "\n"
      << "  live records: " << livePositions.size() << "\n"
      << "  dead records: " << (nulNames + spaceNames + outside) << " (NUL name: " << nulNames
      << ", all-spaces name: " << spaceNames << ", outside the file: " << outside << ")\n"
      << "  record area: " << area << " bytes; in live records: " << inLive
      << " bytes; dead bytes: " << (area - inLive) << "\n";
  for (const SlotReport& s : slots) {
    out << "  slot " << s.slot << " at " << s.position << ": " << s.state << " " << quoted(s.name)
        << "\n";
  }

  // The repair's scan: slots in order, stopping once as many records are kept as the
  // count says; a slot outside the file stops the repair with nothing replaced.
  int kept = 0;
  for (const SlotReport& s : slots) {
    if (kept >= count) break;
    if (s.state == "outside the file") {
      out << "a repair would stop at slot " << s.slot << " (record outside the file)\n";
      return;
    }
    if (s.state != "live") continue;
    if (kept == 0) out << "a repair would keep:\n";
    out << "  slot " << s.slot << " -> slot " << kept << " at "
        << (charfile::kRecordAreaPosition + kept * charfile::kRecordSize) << " "
        << quoted(trimSpaces(s.name)) << "\n";
    ++kept;
  }
  out << "a repair would keep " << kept << " records: count " << kept << ", length "
      << (charfile::kHeaderEnd + kept * charfile::kRecordSize) << " bytes\n";
}

bool looksLikeCharacterFile(const std::string& name, int16_t file) {
  if (sameFileName(name, "ZELKORCharacters.DED") ||
      sameFileName(name, "ZELKORCharactersTemp.DED")) {
    return true;
  }
  return lengthOfFile(file) >= charfile::kHeaderEnd &&
         readInt16(file, charfile::kVersionLengthPosition) == 6 &&
         readText(file, charfile::kVersionTextPosition, 6) == charfile::kVersionText;
}

}  // namespace

int inspectFile(const std::string& hostPath, std::ostream& out) {
  const fs::path path = fs::absolute(hostPath);
  const std::string file = path.string();
  const fs::path directory = path.parent_path();
  const std::string name = path.filename().string();
  if (!fs::is_regular_file(path)) {
    out << file << ": no such file\n";
    return 1;
  }
  out << "file: " << file << "\n"
      << "length: " << fs::file_size(path) << " bytes\n";

  bool fixedKey = true;
  std::optional<int32_t> systemSignature;
  // The file as the runtime names it: a text of the code page.
  const std::string runtimePath = programPath(path);
  if (!programCanName(path)) {
    out << "unprotects: no (code page " << platform::use<platform::CodePage>().number()
        << " cannot name the file's path)\n";
    return 1;
  }
  std::optional<int16_t> open = openUnprotected(runtimePath, 0, true);
  if (open) {
    out << "unprotects: yes, with the fixed key\n";
  } else {
    fixedKey = false;
    const auto keyRecord = keyTextsBeside(directory);
    if (!keyRecord) {
      out << "unprotects: no (not with the fixed key, and no readable " << kSystemHeaderName
          << " beside it)\n";
      return 1;
    }
    systemState().header = *keyRecord;
    open = openUnprotected(runtimePath, 0, false);
    if (!open) {
      out << "unprotects: no (neither with the fixed key nor with the system key of "
          << kSystemHeaderName << ": wrong key or damaged data)\n";
      return 1;
    }
    out << "unprotects: yes, with the system key (texts 3, 1, 2 of " << kSystemHeaderName << ": "
        << quoted(keyRecord->texts[2] + keyRecord->texts[0] + keyRecord->texts[1]) << ")\n";
  }
  const bool characterFile = looksLikeCharacterFile(name, *open);
  if (characterFile) reportCharacterFile(*open, out);
  abandonAllFiles();

  if (!fixedKey) systemSignature = systemSignatureBeside(directory);
  if (systemSignature) out << "system signature: " << hex(*systemSignature) << "\n";
  out << "signature: " << describeSignature(runtimePath, fixedKey, systemSignature) << "\n";
  return 0;
}

}  // namespace tollwick::kit
