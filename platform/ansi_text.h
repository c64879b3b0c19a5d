#pragma once
// Texts of the program are byte strings in the system's ANSI code page
// (platform/code_page.h). They are converted only at the edges, in that code page: UTF-16
// towards resource tables, the registry, the wide Windows functions and the security
// library; UTF-8 towards a terminal, a window, a transcript and Linux's file names.
//
// In a double-byte code page (932, 936, 949, 950) the second byte of a character can be
// any byte from 0x40 up, the backslash 0x5C among them (Shift-JIS "表" is 0x95 0x5C):
// code that looks for a backslash or cuts a text walks it character by character with
// the helpers below, never byte by byte.

#include <cstddef>
#include <string>
#include <string_view>

namespace tollwick {

// The code page <-> UTF-16 and UTF-8. Characters the code page lacks become '?';
// malformed UTF-8 becomes '?' too.
std::u16string ansiToUtf16(std::string_view ansi);
std::string utf16ToAnsi(std::u16string_view utf16);
std::string ansiToUtf8(std::string_view ansi);
std::string utf8ToAnsi(std::string_view utf8);

// True when `utf8` comes back unchanged from the code page: the program can name it.
bool nameableInCodePage(std::string_view utf8);

// The number of bytes of the character that begins at text[at]: 2 for a lead byte with a
// byte after it, else 1.
std::size_t characterSize(std::string_view text, std::size_t at);

// The position of the first (last) character of `text` that is one of the single-byte
// `characters`, or npos. The second byte of a double-byte character never matches.
std::size_t findFirstCharacterOf(std::string_view text, std::string_view characters,
                                 std::size_t from = 0);
std::size_t findLastCharacterOf(std::string_view text, std::string_view characters);

// True when the last character of `text` is the single-byte character `c`.
bool endsWithCharacter(std::string_view text, char c);

// The longest start of `text` of at most `bytes` bytes that does not end inside a
// double-byte character.
std::string_view wholeCharactersWithin(std::string_view text, std::size_t bytes);

// Windows naming rules: names are equal ignoring case (character by character, as the
// system compares them), and a pattern's '*' matches any run of characters, '?' any one
// ("*.*" matches every name).
bool sameFileName(std::string_view a, std::string_view b);
bool fileNameMatches(std::string_view name, std::string_view pattern);

}  // namespace tollwick
