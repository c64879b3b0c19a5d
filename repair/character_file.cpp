#include "repair/character_file.h"

#include <algorithm>

#include "base/text.h"

namespace tollwick {

std::string recordName(const CharacterRecord& record) {
  const auto* first = record.data() + charfile::kNameOffset;
  return std::string(first, first + charfile::kNameLength);
}

bool isLiveRecord(const CharacterRecord& record) {
  // The NUL test comes first: a name that starts with NUL is dead whatever follows.
  if (record[charfile::kNameOffset] == 0) return false;
  return !trimSpaces(recordName(record)).empty();
}

void setRecordName(CharacterRecord& record, const std::string& name) {
  std::string field = name.substr(0, charfile::kNameLength);
  field.resize(charfile::kNameLength, ' ');
  std::copy(field.begin(), field.end(), record.begin() + charfile::kNameOffset);
}

void normalizeRecordName(CharacterRecord& record) {
  setRecordName(record, trimSpaces(recordName(record)));
}

}  // namespace tollwick
