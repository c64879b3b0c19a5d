#include "settings/registry.h"

#include <cstdio>
#include <vector>

#include "base/bytes.h"
#include "base/text.h"
#include "platform/registry.h"
#include "platform/seam.h"

namespace tollwick {
namespace {

namespace reg = platform::reg;

// A 32-bit root number as the handle Windows defines for it (sign-extended).
platform::RegKey rootKey(int32_t root) { return static_cast<platform::RegKey>(root); }

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
  platform::Registry& registry = platform::use<platform::Registry>();
  platform::RegKey key = 0;
  if (registry.openKeyEx(rootKey(root), keyPath.c_str(), 0, reg::kKeyRead, &key) != reg::kSuccess) {
    return "";
  }
  // Only the longest value data size is used; the status is not examined.
  char className[256] = {};
  uint32_t classLength = 255;
  uint32_t subKeys = 0, maxSubKey = 0, maxClass = 0, values = 0, maxValueName = 0;
  uint32_t maxValueLength = 0, securityDescriptor = 0;
  platform::RegFileTime lastWrite;
  registry.queryInfoKey(key, className, &classLength, nullptr, &subKeys, &maxSubKey, &maxClass,
                        &values, &maxValueName, &maxValueLength, &securityDescriptor, &lastWrite);

  std::vector<uint8_t> buffer(maxValueLength, ' ');
  uint32_t type = 0;
  uint32_t length = maxValueLength;
  if (registry.queryValueEx(key, valueName.c_str(), nullptr, &type, buffer.data(), &length) !=
      reg::kSuccess) {
    registry.closeKey(key);
    return "";
  }
  std::string text;
  if (type == reg::kDword) {
    // A DWORD shorter than four bytes is not valid for its type: it reads as missing
    // rather than as a number made partly of the buffer's filler spaces.
    if (length >= 4 && buffer.size() >= 4) {
      text = hexText(readLe32(buffer, 0));
    }
  } else {
    text.assign(buffer.begin(), buffer.end());  // the value's bytes and the unused spaces
  }
  text = cleanText(std::move(text));
  registry.closeKey(key);
  return text;
}

bool regWriteValue(int32_t root, const std::string& keyPath, const std::string& valueName,
                   int32_t type, const std::string& valueText) {
  platform::Registry& registry = platform::use<platform::Registry>();
  platform::RegKey key = 0;
  if (registry.openKeyEx(rootKey(root), keyPath.c_str(), 0, reg::kKeyWrite, &key) !=
      reg::kSuccess) {
    return false;
  }
  int32_t status = reg::kSuccess;
  if (static_cast<uint32_t>(type) == reg::kDword) {
    const uint32_t number = dwordFromText(valueText);
    uint8_t bytes[4];
    storeLe32(bytes, number);
    status = registry.setValueEx(key, valueName.c_str(), 0, reg::kDword, bytes, 4);
  } else {
    status = registry.setValueEx(key, valueName.c_str(), 0, static_cast<uint32_t>(type),
                                 reinterpret_cast<const uint8_t*>(valueText.data()),
                                 static_cast<uint32_t>(valueText.size()));
  }
  const bool result = status == reg::kSuccess;
  registry.closeKey(key);
  return result;
}

}  // namespace tollwick
