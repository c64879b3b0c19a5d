#pragma once
// Texts of the program are byte strings in the ANSI code page, Windows-1252. They are
// converted only at the edges: UTF-16 towards resource tables, the registry and the
// security library; UTF-8 towards a terminal, a window or a transcript.

#include <cstddef>
#include <string>
#include <string_view>

namespace tollwick {

// Removes spaces (code 32 only) at the start, at the end, or at both ends.
std::string trimLeft(std::string_view text);
std::string trimRight(std::string_view text);
std::string trimSpaces(std::string_view text);

// Windows-1252 <-> UTF-16. Characters that Windows-1252 lacks become '?'.
std::u16string ansiToUtf16(std::string_view ansi);
std::string utf16ToAnsi(std::u16string_view utf16);

// Windows-1252 <-> UTF-8. Malformed UTF-8 and characters that Windows-1252 lacks
// become '?'.
std::string ansiToUtf8(std::string_view ansi);
std::string utf8ToAnsi(std::string_view utf8);

// Decodes the UTF-8 sequence at text[i] and advances i past it. A malformed sequence
// is U+FFFD, and i stops at the byte that broke it.
char32_t decodeUtf8(std::string_view text, std::size_t& i);

// Windows-1252 letters folded to upper case, as Windows compares names.
unsigned char foldCase(unsigned char c);

// Windows naming rules, on Windows-1252 texts: names are equal ignoring case, and a
// pattern's '*' matches any run of characters, '?' any one ("*.*" matches every name).
bool sameFileName(std::string_view a, std::string_view b);
bool fileNameMatches(std::string_view name, std::string_view pattern);

}  // namespace tollwick
