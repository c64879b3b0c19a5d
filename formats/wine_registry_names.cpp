#include "formats/wine_registry_names.h"

#include <algorithm>

#include "platform/registry_names.h"

namespace tollwick::wine {

std::u16string foldName(std::u16string_view name) { return platform::foldRegistryName(name); }

int compareNames(std::u16string_view a, std::u16string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t x = platform::foldRegistryUnit(a[i]);
    const char16_t y = platform::foldRegistryUnit(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

int comparePaths(const KeyPath& a, const KeyPath& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (const int c = compareNames(a[i], b[i]); c != 0) return c;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

KeyPath splitPath(std::u16string_view path) {
  KeyPath levels;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t stop = path.find(u'\\', start);
    if (stop == std::u16string_view::npos) stop = path.size();
    if (stop > start) levels.emplace_back(path.substr(start, stop - start));
    start = stop + 1;
  }
  return levels;
}

}  // namespace tollwick::wine
