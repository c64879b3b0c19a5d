#pragma once
// The registry facility: single values of a key, read, written and deleted, each call
// naming its key by root and path (no key stays open between calls). Texts (key
// paths, value names, string data) are bytes of the system's code page, as the (A)
// registry functions of Windows take and hand them out; string data is exactly the
// bytes stored, with a terminating zero only when the value holds one.
//
// Failures: no such key or value kNotFound, refused kAccessDenied, the store held by
// Wine's server kInUse, a damaged store kDamaged, a store that could not be read or
// written kIoError; the registry function's own error number is the osError, the key
// path the context.

#include <cstdint>
#include <string>

#include "platform/status.h"

namespace tollwick::platform {

// A predefined root key by its 32-bit number, as Windows numbers HKEY_LOCAL_MACHINE
// and its kind.
using RegRoot = int32_t;

namespace reg {

inline constexpr RegRoot kClassesRoot = static_cast<int32_t>(0x80000000u);
inline constexpr RegRoot kCurrentUser = static_cast<int32_t>(0x80000001u);
inline constexpr RegRoot kLocalMachine = static_cast<int32_t>(0x80000002u);
inline constexpr RegRoot kUsers = static_cast<int32_t>(0x80000003u);

// Value type codes.
inline constexpr uint32_t kNone = 0;
inline constexpr uint32_t kSz = 1;
inline constexpr uint32_t kExpandSz = 2;
inline constexpr uint32_t kBinary = 3;
inline constexpr uint32_t kDword = 4;
inline constexpr uint32_t kDwordBigEndian = 5;
inline constexpr uint32_t kLink = 6;
inline constexpr uint32_t kMultiSz = 7;
inline constexpr uint32_t kQword = 11;

// True for the types whose data the A functions convert between the code page and
// the registry's UTF-16.
constexpr bool isStringType(uint32_t type) {
  return type == kSz || type == kExpandSz || type == kMultiSz;
}

}  // namespace reg

// A value: its type code and its data's bytes.
struct RegValue {
  uint32_t type = reg::kNone;
  std::string data;
  bool operator==(const RegValue&) const = default;
};

class Registry {
 public:
  virtual ~Registry() = default;

  // The value `name` of the key `path` (backslash-separated, below `root`; an empty
  // name is the key's default value).
  virtual Result<RegValue> readValue(RegRoot root, const std::string& path,
                                     const std::string& name) = 0;

  // Stores `value` as the value `name` of an existing key (a missing key is kNotFound:
  // nothing is created).
  virtual Status writeValue(RegRoot root, const std::string& path, const std::string& name,
                            const RegValue& value) = 0;

  // Removes the value `name` of the key; kNotFound when there is none.
  virtual Status deleteValue(RegRoot root, const std::string& path, const std::string& name) = 0;

  // Creates the key `path` and any missing parent; an existing key is left as it is.
  // For tools and tests: the program itself never creates keys.
  virtual Status createKey(RegRoot root, const std::string& path) = 0;
};

}  // namespace tollwick::platform
