#include "platform/temporary_names.h"

#include <atomic>
#include <cstdio>
#include <random>

namespace tollwick::platform {
namespace {

constexpr std::string_view kMark = ".tw-";
constexpr size_t kDigits = 8;

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

}  // namespace

std::string temporaryNameFor(std::string_view name, uint32_t suffix) {
  char digits[kDigits + 1];
  std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(suffix));
  return "." + std::string(name) + std::string(kMark) + digits;
}

std::string freshTemporaryNameFor(std::string_view name) {
  static std::atomic<uint32_t> counter{0};
  static const uint32_t seed = std::random_device{}();
  return temporaryNameFor(name, seed ^ (counter.fetch_add(1) * 2654435761u));
}

bool isTemporaryName(std::string_view name) {
  // A dot, a name of at least one character, the mark, the digits.
  if (name.size() < 1 + 1 + kMark.size() + kDigits || name.front() != '.') return false;
  const std::string_view digits = name.substr(name.size() - kDigits);
  for (char c : digits) {
    if (!isHexDigit(c)) return false;
  }
  return name.substr(name.size() - kDigits - kMark.size(), kMark.size()) == kMark;
}

}  // namespace tollwick::platform
