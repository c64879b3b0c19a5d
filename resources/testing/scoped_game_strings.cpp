#include "resources/testing/scoped_game_strings.h"

#include <utility>

#include "resources/cls_resource.h"
#include "resources/game_strings.h"

namespace tollwick::testing {

ScopedGameStrings::ScopedGameStrings(std::map<uint32_t, std::string> strings, std::string path)
    : installed_(loader_) {
  loader_.libraries[path] = std::move(strings);
  gResource().DllName(path);
}

ScopedGameStrings::~ScopedGameStrings() { gResource().DllName(""); }

std::map<uint32_t, std::string> numberedGameStrings() {
  std::map<uint32_t, std::string> strings;
  for (int32_t id : kAllGameStringIds) {
    strings[static_cast<uint32_t>(id)] = "<" + std::to_string(id) + ">";
  }
  return strings;
}

}  // namespace tollwick::testing
