#pragma once
// A resource type or name: a 16-bit id, or a name as a library stores it (UTF-16).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace tollwick::platform {

struct ResourceId {
  bool isName = false;
  uint16_t id = 0;
  std::u16string name;

  static ResourceId fromId(uint16_t id) { return ResourceId{false, id, {}}; }
  static ResourceId fromName(std::u16string name) { return ResourceId{true, 0, std::move(name)}; }
  bool operator==(const ResourceId&) const = default;
};

// A type or name text read as the ANSI resource functions read one: "#n" is the id n
// (decimal digits up to the first non-digit; nullopt when n does not fit in 16 bits); any
// other text is a name, upper-cased (the code page in, UTF-16 out).
std::optional<ResourceId> resourceIdFromText(std::string_view text);

}  // namespace tollwick::platform
