#pragma once
// Texts of the program are byte strings in the system's ANSI code page; the conversions
// in that code page live with the platform (platform/ansi_text.h), which knows it. Here
// is what holds whatever the code page: trimming, and UTF-8 and UTF-16, the forms texts
// take at the edges (a terminal, a window or a transcript; the registry, resource tables
// and the security library).

#include <cstddef>
#include <string>
#include <string_view>

namespace tollwick {

// Removes spaces (code 32 only) at the start, at the end, or at both ends. No double-byte
// code page uses that byte inside a character, so this is safe on every one.
std::string trimLeft(std::string_view text);
std::string trimRight(std::string_view text);
std::string trimSpaces(std::string_view text);

// Decodes the UTF-8 sequence at text[i] and advances i past it. A malformed sequence
// is U+FFFD, and i stops at the byte that broke it.
char32_t decodeUtf8(std::string_view text, std::size_t& i);

// UTF-8 <-> UTF-16. Malformed UTF-8 and unpaired surrogates become U+FFFD.
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);

}  // namespace tollwick
