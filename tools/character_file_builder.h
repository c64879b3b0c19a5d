#pragma once
// Character files as the game leaves them: records wherever their writer put them,
// slots that point at them, dead records and dead space in between. Written through the
// runtime's binary files straight into the file's image, so that a file of hundreds of
// megabytes is held only once.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "repair/character_file.h"

namespace tollwick::kit {

// A record with recognisable content: every byte but the Name derives from `serial`.
CharacterRecord sampleRecord(uint32_t serial, const std::string& name);

// The name of the `i`-th sample character ("Aldric", "Brannoc", ..., "Aldric 2", ...).
std::string sampleName(int i);

class CharacterFileBuilder {
 public:
  // Opens a new character file at `path` (any file there is replaced when it is
  // written) with the version field, count 0 and an empty index.
  explicit CharacterFileBuilder(const std::string& path);
  ~CharacterFileBuilder();
  CharacterFileBuilder(const CharacterFileBuilder&) = delete;
  CharacterFileBuilder& operator=(const CharacterFileBuilder&) = delete;

  // Writes `record` at `position` (4023 or later) and, when `slot` is given, points
  // that slot at it.
  void putRecord(int64_t position, const CharacterRecord& record, std::optional<int> slot);
  // Writes `record` behind everything written so far, after `gap` dead bytes; returns
  // its position.
  int64_t appendRecord(const CharacterRecord& record, std::optional<int> slot, int64_t gap = 0);
  void setSlot(int slot, int32_t value);
  void setCount(int16_t count);
  // Extends the file with dead (zero) bytes to `length` bytes, when it is shorter.
  void padTo(int64_t length);
  int64_t length() const;

  // Protects the file with `signature` and the key text of systemState().header, and
  // writes it.
  void finish(int32_t signature);

 private:
  int16_t fileNumber_ = 0;
};

// What make-install puts into a character file.
struct CharacterFileOptions {
  int live = 3;
  int leadingSpaces = 0;         // how many of the live names begin with spaces
  int deadEmptySlot = 0;         // records no slot points to any more
  int deadNulName = 0;           // records in use whose Name begins with NUL
  int deadSpacesName = 0;        // records in use whose Name is all spaces
  int64_t gap = 0;               // dead bytes before each record
  std::optional<int16_t> count;  // CharacterCount; default: the slots in use
  int64_t size = 0;              // total length to reach with dead space (0: as laid out)
  uint32_t seed = 1;
};

// One record of a laid-out file.
struct PlannedRecord {
  enum class Kind { kLive, kEmptySlot, kNulName, kSpacesName } kind = Kind::kLive;
  std::string name;         // as stored (30 characters)
  std::optional<int> slot;  // none for kEmptySlot
  int64_t position = 0;
};

struct CharacterFilePlan {
  std::vector<PlannedRecord> records;  // in the order they lie in the file
  int16_t count = 0;
  int64_t length = 0;
};

// Where every record goes: the slots in use are spread over the 1000 slots, the
// records lie in shuffled order (seeded), `gap` dead bytes before each, and the dead
// space that `size` asks for is shared out between the records. Error 5 when more than
// 1000 slots would be in use, or when `size` is smaller than the laid-out file.
CharacterFilePlan planCharacterFile(const CharacterFileOptions& options);

// Writes the planned file at `path`, protected with `signature`.
void writeCharacterFile(const std::string& path, const CharacterFilePlan& plan, int32_t signature,
                        uint32_t seed);

}  // namespace tollwick::kit
