#pragma once
// The live key handles of the library and the key material each one names. Safe to use
// from several threads at once.

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace zelkorsec {

using KeyMaterial = std::array<uint8_t, 16>;

class KeyTable {
 public:
  // A new positive handle naming `key`, one that no live handle uses.
  int32_t add(const KeyMaterial& key);

  // The key material of a live handle; nothing for an unknown or freed one.
  std::optional<KeyMaterial> find(int32_t handle) const;

  // True when `handle` was live and is now released.
  bool remove(int32_t handle);

 private:
  mutable std::mutex mutex_;
  std::unordered_map<int32_t, KeyMaterial> keys_;
  int32_t next_ = 1;
};

// The table of the loaded library.
KeyTable& keyTable();

}  // namespace zelkorsec
