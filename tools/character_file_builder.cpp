#include "tools/character_file_builder.h"

#include <array>
#include <random>

#include "runtime/binary_file.h"
#include "runtime/file_commands.h"
#include "runtime/run_time_error.h"
#include "security/sarn_security.h"
#include "system/system_state.h"

namespace tollwick::kit {
namespace {

constexpr std::array<const char*, 16> kNames = {
    "Aldric", "Brannoc", "Cerys",  "Dorwin", "Elspeth", "Fennick", "Garrow", "Halda",
    "Isolde", "Jorund",  "Kestra", "Lorcan", "Maeve",   "Niall",   "Orla",   "Perrin"};

// Fisher-Yates over mt19937, so that a seed gives the same file with any library.
template <class T>
void shuffle(std::vector<T>& items, std::mt19937& random) {
  for (size_t i = items.size(); i > 1; --i) {
    const size_t j = random() % i;
    std::swap(items[i - 1], items[j]);
  }
}

std::string padName(const std::string& name) {
  std::string field = name.substr(0, charfile::kNameLength);
  field.resize(charfile::kNameLength, ' ');
  return field;
}

}  // namespace

std::string sampleName(int i) {
  const std::string base = kNames[static_cast<size_t>(i) % kNames.size()];
  const int round = i / static_cast<int>(kNames.size());
  return round == 0 ? base : base + " " + std::to_string(round + 1);
}

CharacterRecord sampleRecord(uint32_t serial, const std::string& name) {
  CharacterRecord record{};
  uint32_t state = serial * 2654435761u + 0x9E3779B9u;
  for (uint8_t& byte : record) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    byte = static_cast<uint8_t>(state >> 24);
  }
  setRecordName(record, name);
  return record;
}

CharacterFileBuilder::CharacterFileBuilder(const std::string& path) {
  if (!firstFileMatching(path).empty()) deleteFilesMatching(path);
  fileNumber_ = freeFile();
  openBinary(fileNumber_, path);
  writeBytes(fileNumber_, 1, std::array<uint8_t, 12>{});
  writeInt16(fileNumber_, charfile::kVersionLengthPosition, 6);
  writeText(fileNumber_, charfile::kVersionTextPosition, charfile::kVersionText);
  setCount(0);
  writeBytes(fileNumber_, charfile::kIndexPosition,
             std::array<uint8_t, 4 * charfile::kSlotCount>{});
}

CharacterFileBuilder::~CharacterFileBuilder() = default;

void CharacterFileBuilder::putRecord(int64_t position, const CharacterRecord& record,
                                     std::optional<int> slot) {
  writeBytes(fileNumber_, position, record);
  if (slot) setSlot(*slot, static_cast<int32_t>(position));
}

int64_t CharacterFileBuilder::appendRecord(const CharacterRecord& record, std::optional<int> slot,
                                           int64_t gap) {
  const int64_t position = length() + 1 + gap;
  putRecord(position, record, slot);
  return position;
}

void CharacterFileBuilder::setSlot(int slot, int32_t value) {
  writeInt32(fileNumber_, slotPosition(slot), value);
}

void CharacterFileBuilder::setCount(int16_t count) {
  writeInt16(fileNumber_, charfile::kCountPosition, count);
}

void CharacterFileBuilder::padTo(int64_t length) {
  if (this->length() >= length) return;
  writeBytes(fileNumber_, length, std::array<uint8_t, 1>{});
}

int64_t CharacterFileBuilder::length() const { return lengthOfFile(fileNumber_); }

void CharacterFileBuilder::finish(int32_t signature) {
  if (!SarnEncryptFile(fileNumber_, loadedKeyText(false), signature)) {
    raiseError(err::kDeviceIoError, "Cannot protect the character file");
  }
  closeFile(fileNumber_);
}

CharacterFilePlan planCharacterFile(const CharacterFileOptions& options) {
  using Kind = PlannedRecord::Kind;
  const int inUse = options.live + options.deadNulName + options.deadSpacesName;
  if (options.live < 0 || options.deadNulName < 0 || options.deadSpacesName < 0 ||
      options.deadEmptySlot < 0 || options.gap < 0 || inUse > charfile::kSlotCount) {
    raiseError(err::kInvalidProcedureCall, "At most 1000 records can be in use");
  }

  std::vector<PlannedRecord> records;
  for (int i = 0; i < options.live; ++i) {
    const std::string indent = i < options.leadingSpaces ? "   " : "";
    records.push_back({Kind::kLive, padName(indent + sampleName(i)), std::nullopt, 0});
  }
  for (int i = 0; i < options.deadNulName; ++i) {
    records.push_back({Kind::kNulName, padName(std::string(1, '\0') + "Lost " + std::to_string(i)),
                       std::nullopt, 0});
  }
  for (int i = 0; i < options.deadSpacesName; ++i) {
    records.push_back({Kind::kSpacesName, padName(""), std::nullopt, 0});
  }
  for (int i = 0; i < options.deadEmptySlot; ++i) {
    records.push_back({Kind::kEmptySlot, padName("Deleted " + std::to_string(i)), std::nullopt, 0});
  }

  // Slots: the records in use, in shuffled order, spread over the whole index.
  std::mt19937 random(options.seed);
  std::vector<size_t> slotOrder;
  for (size_t i = 0; i < static_cast<size_t>(inUse); ++i) slotOrder.push_back(i);
  shuffle(slotOrder, random);
  for (size_t i = 0; i < slotOrder.size(); ++i) {
    records[slotOrder[i]].slot = static_cast<int>(i * charfile::kSlotCount / slotOrder.size());
  }
  shuffle(records, random);

  const auto n = static_cast<int64_t>(records.size());
  const int64_t laidOut = charfile::kHeaderEnd + n * (charfile::kRecordSize + options.gap);
  if (options.size != 0 && options.size < laidOut) {
    raiseError(err::kInvalidProcedureCall,
               "The records need " + std::to_string(laidOut) + " bytes, more than the size asked");
  }
  const int64_t extra = options.size == 0 ? 0 : options.size - laidOut;
  const int64_t share = extra / (n + 1);
  int64_t next = charfile::kRecordAreaPosition;
  for (PlannedRecord& record : records) {
    next += options.gap + share;
    record.position = next;
    next += charfile::kRecordSize;
  }

  CharacterFilePlan plan;
  plan.records = std::move(records);
  plan.count = options.count.value_or(static_cast<int16_t>(inUse));
  plan.length = options.size == 0 ? next - 1 : options.size;
  return plan;
}

void writeCharacterFile(const std::string& path, const CharacterFilePlan& plan, int32_t signature,
                        uint32_t seed) {
  CharacterFileBuilder builder(path);
  uint32_t serial = seed * 7919u;
  for (const PlannedRecord& record : plan.records) {
    builder.putRecord(record.position, sampleRecord(serial++, record.name), record.slot);
  }
  builder.setCount(plan.count);
  builder.padTo(plan.length);
  builder.finish(signature);
}

}  // namespace tollwick::kit
