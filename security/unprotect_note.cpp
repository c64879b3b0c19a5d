#include "security/unprotect_note.h"

#include "runtime/binary_file.h"

namespace tollwick {
namespace {

// One note per file number. Image versions are never given out twice, so a note left
// by an earlier file on the same number never matches a later one.
constexpr size_t kFileNumbers = 512;

std::array<std::optional<UnprotectNote>, kFileNumbers>& notes() {
  static std::array<std::optional<UnprotectNote>, kFileNumbers> table;
  return table;
}

bool validNumber(int16_t fileNumber) {
  return fileNumber > 0 && static_cast<size_t>(fileNumber) < kFileNumbers;
}

}  // namespace

void noteUnprotected(int16_t fileNumber, const UnprotectNote& note) {
  if (validNumber(fileNumber)) notes()[static_cast<size_t>(fileNumber)] = note;
}

std::optional<UnprotectNote> takeUnprotectNote(int16_t fileNumber) {
  if (!validNumber(fileNumber)) return std::nullopt;
  std::optional<UnprotectNote> note;
  note.swap(notes()[static_cast<size_t>(fileNumber)]);
  if (!note || !isOpen(fileNumber) || imageVersion(fileNumber) != note->versionAfter) {
    return std::nullopt;
  }
  return note;
}

}  // namespace tollwick
