#include "platform/ansi_text.h"

#include <algorithm>

#include "base/text.h"
#include "platform/code_page.h"
#include "platform/seam.h"

namespace tollwick {
namespace {

const platform::CodePage& codePage() { return platform::use<platform::CodePage>(); }

// The bytes of the character at text[at]: a lead byte takes the byte after it along.
std::size_t step(const platform::CodePage& page, std::string_view text, std::size_t at) {
  return page.isLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
}

std::u16string folded(std::string_view ansi) {
  const platform::CodePage& page = codePage();
  std::u16string units = page.toUtf16(ansi);
  for (char16_t& unit : units) unit = page.upperCase(unit);
  return units;
}

// Wildcard match of UTF-16 names with one backtracking point (the last '*'): '?' is
// one character, so a name and a pattern are compared as characters, not bytes.
bool wildcardMatch(std::u16string_view name, std::u16string_view pattern) {
  std::size_t n = 0, p = 0, starP = std::u16string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == u'*') {
      starP = p++;
      starN = n;
    } else if (starP != std::u16string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

}  // namespace

std::u16string ansiToUtf16(std::string_view ansi) { return codePage().toUtf16(ansi); }

std::string utf16ToAnsi(std::u16string_view utf16) { return codePage().fromUtf16(utf16); }

std::string ansiToUtf8(std::string_view ansi) { return utf16ToUtf8(ansiToUtf16(ansi)); }

std::string utf8ToAnsi(std::string_view utf8) { return utf16ToAnsi(utf8ToUtf16(utf8)); }

bool nameableInCodePage(std::string_view utf8) { return ansiToUtf8(utf8ToAnsi(utf8)) == utf8; }

std::size_t characterSize(std::string_view text, std::size_t at) {
  return step(codePage(), text, at);
}

std::size_t findFirstCharacterOf(std::string_view text, std::string_view characters,
                                 std::size_t from) {
  const platform::CodePage& page = codePage();
  // The walk starts at the text's start whatever `from` is: only a walk from there tells
  // a second byte from a character of its own.
  for (std::size_t i = 0; i < text.size(); i += step(page, text, i)) {
    if (i >= from && characters.find(text[i]) != std::string_view::npos) return i;
  }
  return std::string_view::npos;
}

std::size_t findLastCharacterOf(std::string_view text, std::string_view characters) {
  const platform::CodePage& page = codePage();
  std::size_t last = std::string_view::npos;
  for (std::size_t i = 0; i < text.size(); i += step(page, text, i)) {
    if (characters.find(text[i]) != std::string_view::npos) last = i;
  }
  return last;
}

bool endsWithCharacter(std::string_view text, char c) {
  if (text.empty() || text.back() != c) return false;
  return findLastCharacterOf(text, std::string_view(&c, 1)) == text.size() - 1;
}

std::string_view wholeCharactersWithin(std::string_view text, std::size_t bytes) {
  if (text.size() <= bytes) return text;
  std::size_t end = 0;
  while (end < text.size()) {
    const std::size_t next = end + characterSize(text, end);
    if (next > bytes) break;
    end = next;
  }
  return text.substr(0, end);
}

bool sameFileName(std::string_view a, std::string_view b) { return folded(a) == folded(b); }

bool fileNameMatches(std::string_view name, std::string_view pattern) {
  if (pattern == "*.*") return true;  // Windows: every name, with or without a dot
  return wildcardMatch(folded(name), folded(pattern));
}

}  // namespace tollwick
