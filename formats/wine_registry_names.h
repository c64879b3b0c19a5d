#pragma once
// Key paths and the names in them, as Wine's registry file holds them (UTF-16) and
// compares them: without regard to case, by the registry names' one fold
// (platform/registry_names.h).

#include <string>
#include <string_view>
#include <vector>

namespace tollwick::wine {

// A key path relative to the file's root, one UTF-16 name per level.
using KeyPath = std::vector<std::u16string>;

// Registry names compare without regard to case: foldName gives the form equal names
// share (platform::foldRegistryName).
std::u16string foldName(std::u16string_view name);
int compareNames(std::u16string_view a, std::u16string_view b);
int comparePaths(const KeyPath& a, const KeyPath& b);

// Splits a backslash-separated path; empty levels are dropped.
KeyPath splitPath(std::u16string_view path);

}  // namespace tollwick::wine
