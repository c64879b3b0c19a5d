#pragma once
// The texts of Wine's registry file: values as it writes them, and its escaping of names
// and strings. No file, no document: one line's text at a time.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tollwick::wine {

// A value as the registry holds it: its type code and its data (string types as
// UTF-16LE, with whatever terminating zero was stored).
struct Value {
  uint32_t type = 0;
  std::vector<uint8_t> data;
  bool operator==(const Value&) const = default;
};

// The blanks Wine skips around the parts of a line.
inline bool isBlank(char c) { return c == ' ' || c == '\t'; }
// `text` without blanks (and carriage returns) at either end.
std::string_view trimBlanks(std::string_view text);

// Wine's escaping of a name or string: the backslash and the two `specials` characters
// get a backslash, control characters their C escape or octal, characters above 127
// "\x" and hexadecimal. A final zero character is left out, as Wine leaves out a
// string's terminator.
std::string escapeText(std::u16string_view text, std::string_view specials);

// Reads escaped text from `line` at `pos` up to the first unescaped `endChar` and
// leaves `pos` just past it. Bytes above 127 are read as UTF-8. nullopt when the end
// character is missing or an escape is malformed ("\x" without a digit).
std::optional<std::u16string> unescapeText(std::string_view line, std::size_t& pos, char endChar);

// Reads the data part of a value line (after "="), with continuation lines already
// joined. nullopt for an unknown type or data not valid for its type.
std::optional<Value> parseValueData(std::string_view data);

// The line or lines Wine writes for a value, each ending in "\n". An empty name is
// the key's default value ("@").
std::string formatValue(std::u16string_view name, const Value& value);

// A number in lower-case hexadecimal without leading zeros, as Wine writes times and types.
std::string hexLower(uint64_t number);

}  // namespace tollwick::wine
