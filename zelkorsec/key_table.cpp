#include "zelkorsec/key_table.h"

#include <limits>

namespace zelkorsec {
namespace {

int32_t following(int32_t handle) {
  return handle == std::numeric_limits<int32_t>::max() ? 1 : handle + 1;
}

}  // namespace

int32_t KeyTable::add(const KeyMaterial& key) {
  std::lock_guard<std::mutex> lock(mutex_);
  // Handles count up and wrap to 1; one still live after a wrap is skipped, so a
  // handle is never shared by two keys (nor ever 0, which callers may test for).
  while (keys_.count(next_) != 0) next_ = following(next_);
  const int32_t handle = next_;
  next_ = following(next_);
  keys_.emplace(handle, key);
  return handle;
}

std::optional<KeyMaterial> KeyTable::find(int32_t handle) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = keys_.find(handle);
  if (it == keys_.end()) return std::nullopt;
  return it->second;
}

bool KeyTable::remove(int32_t handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  return keys_.erase(handle) != 0;
}

KeyTable& keyTable() {
  // Never destroyed: a thread still calling into the library while the process exits
  // must not meet a table that static destruction has already torn down.
  static KeyTable* const table = new KeyTable;
  return *table;
}

}  // namespace zelkorsec
