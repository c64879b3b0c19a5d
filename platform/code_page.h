#pragma once
// The system's ANSI code page: the character set of every text the program holds. One
// code page serves a whole run, the system's own: on Windows the one GetACP() names
// (1252 on Western systems, 1251 Cyrillic, 1250 Central European, 932, 936, 949 and 950
// East Asian double-byte, ...); on Linux the one Wine gives the player's locale, so that
// the program and the game running under Wine take the same bytes for the same
// characters. Code reaches it as a facility (platform::use<CodePage>()); the texts'
// conversions and name rules over it are in platform/ansi_text.h.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tollwick::platform {

class CodePage {
 public:
  virtual ~CodePage() = default;

  // The code page's number, as Windows numbers them (1252, 1251, 932, 65001, ...).
  virtual uint32_t number() const = 0;

  // The characters of `ansi` in UTF-16. A single byte the code page leaves undefined
  // stands for the control or Latin-1 character of the same value, as Windows reads the
  // holes of its single-byte code pages, so such bytes survive a round trip; a
  // double-byte sequence the code page does not define is '?'.
  virtual std::u16string toUtf16(std::string_view ansi) const = 0;

  // The bytes of `utf16` in the code page. A character it lacks becomes '?', never a
  // look-alike that would name another file.
  virtual std::string fromUtf16(std::u16string_view utf16) const = 0;

  // True for a byte that begins a two-byte character: the lead bytes of the double-byte
  // code pages. Their second byte can be any byte from 0x40 up, the backslash among
  // them. Always false in a single-byte code page.
  virtual bool isLeadByte(unsigned char byte) const = 0;

  // The upper case of one UTF-16 unit, as the system compares file names (each
  // character alone, no locale's special rules).
  virtual char16_t upperCase(char16_t unit) const = 0;
};

// The code page numbered `number` as this system converts it, or null when it cannot:
// for tools that write texts in another code page than the system's, and for tests.
std::unique_ptr<CodePage> codePageNumbered(uint32_t number);

}  // namespace tollwick::platform
