#include "platform/resource_id.h"

#include "platform/code_page.h"
#include "platform/seam.h"

namespace tollwick::platform {

std::optional<ResourceId> resourceIdFromText(std::string_view text) {
  if (!text.empty() && text.front() == '#') {
    uint32_t value = 0;
    for (std::size_t i = 1; i < text.size(); ++i) {
      const char c = text[i];
      if (c < '0' || c > '9') break;
      value = value * 10 + static_cast<uint32_t>(c - '0');
      if (value > 0xFFFF) return std::nullopt;
    }
    return ResourceId::fromId(static_cast<uint16_t>(value));
  }
  // Upper-cased as the platform does for resource names: each character's upper case.
  const CodePage& codePage = use<CodePage>();
  std::u16string name = codePage.toUtf16(text);
  for (char16_t& c : name) c = codePage.upperCase(c);
  return ResourceId::fromName(std::move(name));
}

}  // namespace tollwick::platform
