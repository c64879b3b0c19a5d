#include "runtime/change_tracking.h"

namespace tollwick {

uint64_t newVersion() {
  static uint64_t lastVersion = 0;
  return ++lastVersion;
}

bool isClean(const OpenFile& file) { return file.existed && file.version == file.cleanVersion; }

bool changedSinceOpen(const OpenFile& file) {
  if (!file.existed) return true;
  if (isClean(file)) return false;
  if (!file.hashed || file.image.size() != file.originalLength) return true;
  return contentHash(file.image) != file.originalHash;
}

void hashOriginal(OpenFile& file) {
  file.originalLength = file.image.size();
  file.originalHash = contentHash(file.image);
  file.hashed = true;
}

void beforeUntrackedChange(OpenFile& file) {
  if (isClean(file) && !file.hashed) hashOriginal(file);
  file.version = newVersion();
}

ReadStamp stampOf(const OpenFile& file) {
  ReadStamp stamp;
  stamp.existed = file.existed;
  stamp.identity = file.identity;
  if (file.existed && !file.identity.known) {
    stamp.length = file.originalLength;
    stamp.hash = file.originalHash;
  }
  return stamp;
}

}  // namespace tollwick
