#include "formats/wine_registry_text.h"

#include <cstdio>

#include "base/bytes.h"
#include "base/text.h"
#include "platform/registry.h"

namespace tollwick::wine {
namespace {

namespace reg = platform::reg;

// Reads one UTF-8 sequence at line[pos] into `out` (U+FFFD for a malformed one, as
// Wine's conversion does); advances pos.
void appendUtf8Char(std::string_view line, std::size_t& pos, std::u16string& out) {
  char32_t cp = decodeUtf8(line, pos);
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(cp));
  }
}

std::vector<uint8_t> unitsToBytes(std::u16string_view units) {
  std::vector<uint8_t> bytes;
  bytes.reserve(units.size() * 2);
  appendLeBytes(bytes, units);
  return bytes;
}

std::u16string bytesToUnits(const std::vector<uint8_t>& bytes) { return unitsFromLeBytes(bytes); }

// Strict hexadecimal number of 1 to `maxDigits` digits filling all of `text`.
std::optional<uint32_t> parseHexNumber(std::string_view text, std::size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits) return std::nullopt;
  uint32_t number = 0;
  for (char c : text) {
    if (!isHexDigit(c)) return std::nullopt;
    number = (number << 4) | hexValue(c);
  }
  return number;
}

// "xx,xx,..." (blanks allowed around the commas, a final comma tolerated); every byte
// exactly two digits.
std::optional<std::vector<uint8_t>> parseHexBytes(std::string_view text) {
  std::vector<uint8_t> bytes;
  text = trimBlanks(text);
  while (!text.empty()) {
    const std::size_t comma = text.find(',');
    const std::string_view token = trimBlanks(text.substr(0, comma));
    if (token.size() != 2 || !isHexDigit(token[0]) || !isHexDigit(token[1])) return std::nullopt;
    bytes.push_back(static_cast<uint8_t>((hexValue(token[0]) << 4) | hexValue(token[1])));
    if (comma == std::string_view::npos) break;
    text = trimBlanks(text.substr(comma + 1));
  }
  return bytes;
}

std::optional<Value> parseQuotedString(std::string_view data, uint32_t type) {
  std::size_t pos = 0;
  auto units = unescapeText(data, pos, '"');
  if (!units || !trimBlanks(data.substr(pos)).empty()) return std::nullopt;
  units->push_back(0);  // the stored string holds its terminator
  return Value{type, unitsToBytes(*units)};
}

}  // namespace

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && (isBlank(text.front()) || text.front() == '\r')) text.remove_prefix(1);
  while (!text.empty() && (isBlank(text.back()) || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

std::string hexLower(uint64_t number) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "%llx", static_cast<unsigned long long>(number));
  return buffer;
}

std::string escapeText(std::u16string_view text, std::string_view specials) {
  // The control characters with a C escape of their own; '.' marks the others.
  static constexpr std::string_view kEscapes = ".......abtnvfr.............e....";
  std::string out;
  char buffer[16];
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    const bool last = i + 1 == text.size();
    const char16_t next = last ? 0 : text[i + 1];
    if (c > 127) {
      // Four digits when a hexadecimal digit follows, so it is not read as part of it.
      const bool pad = !last && next < 128 && isHexDigit(static_cast<char>(next));
      std::snprintf(buffer, sizeof buffer, pad ? "\\x%04x" : "\\x%x", static_cast<unsigned>(c));
      out += buffer;
      continue;
    }
    if (c < 32) {
      if (c == 0 && last) continue;  // a string's terminator is not written
      if (kEscapes[c] != '.') {
        out.push_back('\\');
        out.push_back(kEscapes[c]);
      } else {
        const bool pad = !last && next >= u'0' && next <= u'7';
        std::snprintf(buffer, sizeof buffer, pad ? "\\%03o" : "\\%o", static_cast<unsigned>(c));
        out += buffer;
      }
      continue;
    }
    const char ascii = static_cast<char>(c);
    if (ascii == '\\' || specials.find(ascii) != std::string_view::npos) out.push_back('\\');
    out.push_back(ascii);
  }
  return out;
}

std::optional<std::u16string> unescapeText(std::string_view line, std::size_t& pos, char endChar) {
  std::u16string out;
  while (pos < line.size()) {
    const char c = line[pos];
    if (c == endChar) {
      ++pos;
      return out;
    }
    if (c != '\\') {
      appendUtf8Char(line, pos, out);
      continue;
    }
    ++pos;
    if (pos >= line.size()) return std::nullopt;  // the escape is cut off
    const char e = line[pos];
    switch (e) {
      case 'a':
        out.push_back(u'\a');
        ++pos;
        continue;
      case 'b':
        out.push_back(u'\b');
        ++pos;
        continue;
      case 'e':
        out.push_back(0x1B);
        ++pos;
        continue;
      case 'f':
        out.push_back(u'\f');
        ++pos;
        continue;
      case 'n':
        out.push_back(u'\n');
        ++pos;
        continue;
      case 'r':
        out.push_back(u'\r');
        ++pos;
        continue;
      case 't':
        out.push_back(u'\t');
        ++pos;
        continue;
      case 'v':
        out.push_back(u'\v');
        ++pos;
        continue;
      case 'x': {
        ++pos;
        unsigned value = 0;
        int digits = 0;
        while (digits < 4 && pos < line.size() && isHexDigit(line[pos])) {
          value = value * 16 + hexValue(line[pos++]);
          ++digits;
        }
        if (digits == 0) return std::nullopt;  // Wine never writes a bare "\x"
        out.push_back(static_cast<char16_t>(value));
        continue;
      }
      default:
        break;
    }
    if (e >= '0' && e <= '7') {
      unsigned value = 0;
      for (int digits = 0; digits < 3 && pos < line.size() && line[pos] >= '0' && line[pos] <= '7';
           ++digits) {
        value = value * 8 + static_cast<unsigned>(line[pos++] - '0');
      }
      out.push_back(static_cast<char16_t>(value));
      continue;
    }
    appendUtf8Char(line, pos, out);  // any other escaped character stands for itself
  }
  return std::nullopt;  // no end character: the line is cut short
}

std::optional<Value> parseValueData(std::string_view data) {
  auto startsWith = [&](std::string_view prefix) {
    return data.substr(0, prefix.size()) == prefix;
  };
  if (startsWith("\"")) return parseQuotedString(data.substr(1), reg::kSz);
  if (startsWith("str:\"")) return parseQuotedString(data.substr(5), reg::kSz);
  if (startsWith("str(2):\"")) return parseQuotedString(data.substr(8), reg::kExpandSz);
  if (startsWith("str(7):\"")) return parseQuotedString(data.substr(8), reg::kMultiSz);
  if (startsWith("dword:")) {
    const auto number = parseHexNumber(trimBlanks(data.substr(6)), 8);
    if (!number) return std::nullopt;
    Value value{reg::kDword, {}};
    for (int shift = 0; shift < 32; shift += 8) {
      value.data.push_back(static_cast<uint8_t>((*number >> shift) & 0xFF));
    }
    return value;
  }
  uint32_t type = 0;
  std::string_view bytes;
  if (startsWith("hex:")) {
    type = reg::kBinary;
    bytes = data.substr(4);
  } else if (startsWith("hex(")) {
    const std::size_t close = data.find("):", 4);
    if (close == std::string_view::npos) return std::nullopt;
    const auto number = parseHexNumber(data.substr(4, close - 4), 8);
    if (!number) return std::nullopt;
    type = *number;
    bytes = data.substr(close + 2);
  } else {
    return std::nullopt;  // a type Wine does not write
  }
  auto parsed = parseHexBytes(bytes);
  if (!parsed) return std::nullopt;
  return Value{type, std::move(*parsed)};
}

std::string formatValue(std::u16string_view name, const Value& value) {
  std::string out = name.empty() ? "@=" : "\"" + escapeText(name, "\"\"") + "\"=";
  const std::size_t size = value.data.size();
  switch (value.type) {
    case reg::kSz:
    case reg::kExpandSz:
    case reg::kMultiSz:
      // Only a properly terminated string is written as a string; Wine writes any
      // other as its bytes.
      if (size >= 2 && size % 2 == 0 && value.data[size - 1] == 0 && value.data[size - 2] == 0) {
        if (value.type != reg::kSz) out += "str(" + hexLower(value.type) + "):";
        out += "\"" + escapeText(bytesToUnits(value.data), "\"\"") + "\"\n";
        return out;
      }
      break;
    case reg::kDword:
      if (size == 4) {
        char buffer[16];
        const uint32_t number = readLe32(value.data, 0);
        std::snprintf(buffer, sizeof buffer, "dword:%08x\n", number);
        return out + buffer;
      }
      break;
    default:
      break;
  }
  out += value.type == reg::kBinary ? "hex:" : "hex(" + hexLower(value.type) + "):";
  // Wine wraps after a comma once the line passes 76 characters.
  std::size_t count = out.size();
  char buffer[4];
  for (std::size_t i = 0; i < size; ++i) {
    std::snprintf(buffer, sizeof buffer, "%02x", static_cast<unsigned>(value.data[i]));
    out += buffer;
    count += 2;
    if (i + 1 < size) {
      out.push_back(',');
      if (++count > 76) {
        out += "\\\n  ";
        count = 2;
      }
    }
  }
  out.push_back('\n');
  return out;
}

}  // namespace tollwick::wine
