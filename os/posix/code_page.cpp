// The system's ANSI code page on Linux: the one Wine gives the player's locale
// (locale_code_page.h), converted with glibc's iconv, which knows every Windows code
// page by name. What iconv leaves to us is what Windows does where a code page is
// silent: the bytes it leaves undefined, and the lead bytes of the double-byte pages.

#include <iconv.h>
#include <locale.h>

#include <array>
#include <cerrno>
#include <cwctype>
#include <mutex>
#include <string>

#include "base/text.h"
#include "os/posix/locale_code_page.h"
#include "platform/code_page.h"
#include "platform/seam.h"

namespace tollwick::platform {
namespace {

constexpr uint32_t kUtf8 = 65001;
constexpr uint32_t kWestern = 1252;

// iconv's name for a Windows code page. glibc's "SHIFT_JIS" reads 0x5C as the yen sign;
// "CP932" is Windows' own Shift-JIS, whose 0x5C is the backslash.
std::string iconvName(uint32_t number) { return "CP" + std::to_string(number); }

// The lead bytes of Windows' double-byte code pages (its own ranges: iconv leaves the
// user-defined rows of 949 and 950 out, but Windows still reads them as pairs).
bool isWindowsLeadByte(uint32_t number, unsigned char byte) {
  switch (number) {
    case 932:
      return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:
    case 949:
    case 950:
      return byte >= 0x81 && byte <= 0xFE;
    default:
      return false;
  }
}

// Unicode's simple upper case of a unit (a locale-free UTF-8 locale: glibc's C.UTF-8).
char16_t upperOf(char16_t unit) {
  static const locale_t unicode = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  if (unit >= 0xD800 && unit <= 0xDFFF) return unit;
  if (unicode == nullptr) {
    // A C library without a UTF-8 locale still folds the Latin letters.
    return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 0x20) : unit;
  }
  const wint_t upper = ::towupper_l(static_cast<wint_t>(unit), unicode);
  return upper <= 0xFFFF ? static_cast<char16_t>(upper) : unit;
}

// One iconv conversion, kept open for the run: opening one loads a module.
class Converter {
 public:
  Converter(const std::string& to, const std::string& from)
      : handle_(::iconv_open(to.c_str(), from.c_str())) {}
  ~Converter() {
    if (ok()) ::iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  // Converts as much of `in` as it can, appending to `out`; returns the bytes of `in`
  // consumed. It stops at the first sequence it cannot convert.
  std::size_t convert(std::string_view in, std::string& out) {
    ::iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    char* source = const_cast<char*>(in.data());
    std::size_t left = in.size();
    while (left > 0) {
      std::array<char, 1024> buffer{};
      char* target = buffer.data();
      std::size_t room = buffer.size();
      const std::size_t result = ::iconv(handle_, &source, &left, &target, &room);
      out.append(buffer.data(), static_cast<std::size_t>(target - buffer.data()));
      if (result == static_cast<std::size_t>(-1) && errno != E2BIG) break;
    }
    return in.size() - left;
  }

 private:
  iconv_t handle_;
};

std::string leBytes(std::u16string_view units) {
  std::string bytes;
  bytes.reserve(units.size() * 2);
  for (char16_t unit : units) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

void appendUnits(std::u16string& out, std::string_view leBytes) {
  for (std::size_t i = 0; i + 1 < leBytes.size(); i += 2) {
    out.push_back(static_cast<char16_t>(static_cast<unsigned char>(leBytes[i]) |
                                        (static_cast<unsigned char>(leBytes[i + 1]) << 8)));
  }
}

class IconvCodePage : public CodePage {
 public:
  explicit IconvCodePage(uint32_t number)
      : number_(number),
        decoder_("UTF-16LE", iconvName(number)),
        encoder_(iconvName(number), "UTF-16LE") {
    if (!ok()) return;
    // What each byte alone reads as: a lead byte reads as nothing alone, a byte the
    // code page leaves undefined as the character of its own value (Windows' reading of
    // the holes of its single-byte code pages).
    for (unsigned b = 0; b < 256; ++b) {
      const char byte = static_cast<char>(b);
      std::string units;
      if (isLeadByte(static_cast<unsigned char>(b))) {
        single_[b] = u'?';
      } else if (decoder_.convert(std::string_view(&byte, 1), units) == 1 && units.size() == 2) {
        std::u16string unit;
        appendUnits(unit, units);
        single_[b] = unit[0];
      } else {
        single_[b] = static_cast<char16_t>(b);
        hole_[b] = true;
      }
    }
  }

  bool ok() const { return decoder_.ok() && encoder_.ok(); }

  uint32_t number() const override { return number_; }

  std::u16string toUtf16(std::string_view ansi) const override {
    std::lock_guard<std::mutex> lock(mutex_);
    std::u16string out;
    out.reserve(ansi.size());
    std::size_t at = 0;
    while (at < ansi.size()) {
      std::string units;
      at += decoder_.convert(ansi.substr(at), units);
      appendUnits(out, units);
      if (at >= ansi.size()) break;
      // A sequence iconv cannot read: one byte, or a lead byte and the byte after it.
      const auto byte = static_cast<unsigned char>(ansi[at]);
      if (isLeadByte(byte)) {
        out.push_back(u'?');
        at += at + 1 < ansi.size() ? 2 : 1;
      } else {
        out.push_back(single_[byte]);
        ++at;
      }
    }
    return out;
  }

  std::string fromUtf16(std::u16string_view utf16) const override {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string out;
    out.reserve(utf16.size());
    std::size_t at = 0;
    while (at < utf16.size()) {
      const std::string bytes = leBytes(utf16.substr(at));
      at += encoder_.convert(bytes, out) / 2;
      if (at >= utf16.size()) break;
      // The holes read back as the bytes they came from; any other unit is '?', each half
      // of a character outside the BMP too, as Windows converts unit by unit.
      const char16_t unit = utf16[at];
      out.push_back(unit < 0x100 && hole_[unit] ? static_cast<char>(unit) : '?');
      ++at;
    }
    return out;
  }

  bool isLeadByte(unsigned char byte) const override { return isWindowsLeadByte(number_, byte); }

  char16_t upperCase(char16_t unit) const override { return upperOf(unit); }

 private:
  uint32_t number_;
  mutable std::mutex mutex_;
  mutable Converter decoder_;
  mutable Converter encoder_;
  std::array<char16_t, 256> single_{};
  std::array<bool, 256> hole_{};
};

// Code page 65001: the program's texts are UTF-8 themselves.
class Utf8CodePage : public CodePage {
 public:
  uint32_t number() const override { return kUtf8; }
  std::u16string toUtf16(std::string_view ansi) const override { return utf8ToUtf16(ansi); }
  std::string fromUtf16(std::u16string_view utf16) const override {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
      const auto isHigh = [](char16_t u) { return u >= 0xD800 && u <= 0xDBFF; };
      const auto isLow = [](char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; };
      if (isHigh(utf16[i]) && i + 1 < utf16.size() && isLow(utf16[i + 1])) {
        out += utf16ToUtf8(utf16.substr(i++, 2));
      } else if (isHigh(utf16[i]) || isLow(utf16[i])) {
        out.push_back('?');  // an unpaired surrogate is no character
      } else {
        out += utf16ToUtf8(utf16.substr(i, 1));
      }
    }
    return out;
  }
  bool isLeadByte(unsigned char) const override { return false; }
  char16_t upperCase(char16_t unit) const override { return upperOf(unit); }
};

}  // namespace

std::unique_ptr<CodePage> codePageNumbered(uint32_t number) {
  if (number == kUtf8) return std::make_unique<Utf8CodePage>();
  auto page = std::make_unique<IconvCodePage>(number);
  if (!page->ok()) return nullptr;
  return page;
}

template <>
std::unique_ptr<CodePage> makeSystemFacility<CodePage>() {
  std::unique_ptr<CodePage> page = codePageNumbered(posix::codePageOfEnvironment());
  // glibc converts every code page Wine gives a locale. A C library without its
  // conversion modules still gets texts: the Western code page, or UTF-8, which needs
  // no module.
  if (page == nullptr) page = codePageNumbered(kWestern);
  if (page == nullptr) page = std::make_unique<Utf8CodePage>();
  return page;
}

}  // namespace tollwick::platform
