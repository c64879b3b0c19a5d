#include "settings/registry_values.h"

#include <cstdio>
#include <iterator>
#include <span>
#include <utility>

#include "base/bytes.h"
#include "base/text.h"
#include "platform/registry.h"
#include "platform/seam.h"

namespace tollwick {
namespace {

namespace reg = platform::reg;

// The 32-bit pattern in hexadecimal, upper case, without leading zeros.
std::string hexText(uint32_t pattern) {
  char buffer[12];
  std::snprintf(buffer, sizeof buffer, "%X", static_cast<unsigned>(pattern));
  return buffer;
}

// Trailing spaces off; then one final NUL off; then everything from the first NUL on.
std::string cleanText(std::string text) {
  text = trimRight(text);
  if (!text.empty() && text.back() == '\0') text.pop_back();
  if (const auto nul = text.find('\0'); nul != std::string::npos) text.erase(nul);
  return text;
}

// The DWORD written for a text: at most 8 characters of the trimmed text, read as a
// hexadecimal literal with "&H" in front (a text already starting with "&H" keeps
// only six digits). Four digits or fewer are marked with a final "&" so that they read
// as a non-negative Long; every other length reads as the same 32-bit pattern anyway.
uint32_t dwordFromText(const std::string& valueText) {
  std::string text = trimSpaces(valueText).substr(0, 8);
  if (text.rfind("&H", 0) != 0) text = "&H" + text;
  if (text.size() <= 6) text += "&";
  uint32_t number = 0;
  for (std::size_t i = 2; i < text.size() && isHexDigit(text[i]); ++i) {
    number = (number << 4) | hexValue(text[i]);
  }
  return number;
}

}  // namespace

std::string regReadValue(int32_t root, const std::string& keyPath, const std::string& valueName) {
  const platform::Result<platform::RegValue> value =
      platform::use<platform::Registry>().readValue(root, keyPath, valueName);
  if (!value.ok()) return "";
  std::string text;
  if (value->type == reg::kDword) {
    // A DWORD shorter than four bytes is not valid for its type: it reads as missing.
    if (value->data.size() >= 4) {
      text = hexText(readLe32(
          std::span(reinterpret_cast<const uint8_t*>(value->data.data()), value->data.size()), 0));
    }
  } else {
    text = value->data;
  }
  return cleanText(std::move(text));
}

bool regWriteValue(int32_t root, const std::string& keyPath, const std::string& valueName,
                   int32_t type, const std::string& valueText) {
  platform::RegValue value{static_cast<uint32_t>(type), valueText};
  if (value.type == reg::kDword) {
    uint8_t bytes[4];
    storeLe32(bytes, dwordFromText(valueText));
    value.data.assign(std::begin(bytes), std::end(bytes));
  }
  return platform::use<platform::Registry>().writeValue(root, keyPath, valueName, value).ok();
}

}  // namespace tollwick
