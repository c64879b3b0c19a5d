#pragma once
// The key of a protected file: the library's key handle made from the check value of
// its key text.

#include <cstdint>
#include <string>

namespace tollwick {

// A key handle: ZelkorSecMakeKey of the key text's check value (seed 0). Library
// errors pass to the caller.
int32_t SarnGetFileKey(const std::string& keyText);

// Owns a key handle and releases it on every path: release() on the normal path (an
// error passes to the caller, to be reported once), the destructor otherwise (an error
// is swallowed: it would repeat a report already shown).
class ScopedFileKey {
 public:
  ScopedFileKey() = default;
  ~ScopedFileKey();
  ScopedFileKey(const ScopedFileKey&) = delete;
  ScopedFileKey& operator=(const ScopedFileKey&) = delete;

  void reset(int32_t handle);
  int32_t get() const { return handle_; }
  void release();

 private:
  int32_t handle_ = 0;
  bool held_ = false;
};

}  // namespace tollwick
