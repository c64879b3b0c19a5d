// The system's ANSI code page on Windows: the one GetACP() names, converted by the
// system itself.

#include <windows.h>

#include <limits>

#include "platform/code_page.h"
#include "platform/seam.h"

namespace tollwick::platform {
namespace {

int checkedLength(size_t length) {
  return length > static_cast<size_t>(std::numeric_limits<int>::max()) ? -1
                                                                       : static_cast<int>(length);
}

class WindowsCodePage : public CodePage {
 public:
  explicit WindowsCodePage(UINT number) : number_(number) {}

  uint32_t number() const override { return number_; }

  std::u16string toUtf16(std::string_view ansi) const override {
    const int length = checkedLength(ansi.size());
    if (length <= 0) return {};
    // No character takes more UTF-16 units than it has bytes.
    std::wstring wide(static_cast<size_t>(length), L'\0');
    const int converted = MultiByteToWideChar(number_, 0, ansi.data(), length, wide.data(), length);
    wide.resize(converted > 0 ? static_cast<size_t>(converted) : 0);
    return std::u16string(wide.begin(), wide.end());
  }

  std::string fromUtf16(std::u16string_view utf16) const override {
    const int length = checkedLength(utf16.size());
    if (length <= 0) return {};
    const std::wstring wide(utf16.begin(), utf16.end());
    // No "best fit" look-alikes: a character the code page lacks is '?', never another
    // character that would name another file. UTF-8 takes neither option: it lacks no
    // character, and an unpaired surrogate becomes U+FFFD there.
    const bool utf8 = number_ == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const char* fallback = utf8 ? nullptr : "?";
    const int needed =
        WideCharToMultiByte(number_, flags, wide.data(), length, nullptr, 0, fallback, nullptr);
    if (needed <= 0) return {};
    std::string ansi(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(number_, flags, wide.data(), length, ansi.data(), needed, fallback,
                        nullptr);
    return ansi;
  }

  bool isLeadByte(unsigned char byte) const override {
    return IsDBCSLeadByteEx(number_, byte) != FALSE;
  }

  char16_t upperCase(char16_t unit) const override {
    // The invariant locale: no language's special rules, as the file system compares.
    wchar_t in = static_cast<wchar_t>(unit);
    wchar_t out = in;
    if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, &in, 1, &out, 1, nullptr, nullptr,
                      0) != 1) {
      return unit;
    }
    return static_cast<char16_t>(out);
  }

 private:
  UINT number_;
};

}  // namespace

std::unique_ptr<CodePage> codePageNumbered(uint32_t number) {
  if (IsValidCodePage(number) == FALSE) return nullptr;
  return std::make_unique<WindowsCodePage>(number);
}

template <>
std::unique_ptr<CodePage> makeSystemFacility<CodePage>() {
  return std::make_unique<WindowsCodePage>(GetACP());
}

}  // namespace tollwick::platform
