#include "formats/wine_registry_format.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>

#include "base/bytes.h"
#include "base/text.h"
#include "platform/registry.h"

namespace tollwick::wine {
namespace {

namespace reg = platform::reg;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && (isBlank(text.front()) || text.front() == '\r')) text.remove_prefix(1);
  while (!text.empty() && (isBlank(text.back()) || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

char16_t foldUnit(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 0x20);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 0x20);
  if (c == 0xFF) return 0x178;
  return c;
}

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

std::string hexLower(uint64_t number) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "%llx", static_cast<unsigned long long>(number));
  return buffer;
}

// Line boundaries: [begin, contentEnd) is the line without "\r\n", next starts the
// following line.
struct Line {
  std::size_t begin = 0;
  std::size_t contentEnd = 0;
  std::size_t next = 0;
  bool terminated = false;
};

Line lineAt(const std::string& text, std::size_t begin) {
  Line line;
  line.begin = begin;
  const std::size_t newline = text.find('\n', begin);
  line.terminated = newline != std::string::npos;
  line.next = line.terminated ? newline + 1 : text.size();
  line.contentEnd = line.terminated ? newline : text.size();
  if (line.contentEnd > begin && text[line.contentEnd - 1] == '\r') --line.contentEnd;
  return line;
}

}  // namespace

std::u16string foldName(std::u16string_view name) {
  std::u16string out(name);
  for (auto& c : out) c = foldUnit(c);
  return out;
}

int compareNames(std::u16string_view a, std::u16string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t x = foldUnit(a[i]);
    const char16_t y = foldUnit(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

int comparePaths(const KeyPath& a, const KeyPath& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (const int c = compareNames(a[i], b[i]); c != 0) return c;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

KeyPath splitPath(std::u16string_view path) {
  KeyPath levels;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t stop = path.find(u'\\', start);
    if (stop == std::u16string_view::npos) stop = path.size();
    if (stop > start) levels.emplace_back(path.substr(start, stop - start));
    start = stop + 1;
  }
  return levels;
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

std::string emptyFileText() {
  return std::string(kSignature) + "\n;; All keys relative to REGISTRY\\\\Machine\n";
}

Document::Document(std::string text) : text_(std::move(text)) { parse(); }

void Document::parse() {
  sections_.clear();
  nodes_.assign(1, KeyNode{});
  damaged_ = false;
  win64_ = false;
  Line first = lineAt(text_, 0);
  registryFile_ =
      std::string_view(text_).substr(first.begin, first.contentEnd - first.begin) == kSignature;
  crlf_ = first.terminated && first.next - first.contentEnd == 2;
  if (!registryFile_) return;

  bool inSection = false;  // false before the first key and after a bad key line
  bool skipping = false;   // in the section of a key too deep to be taken
  std::size_t pos = first.next;
  while (pos < text_.size()) {
    const Line line = lineAt(text_, pos);
    const std::string_view content(text_.data() + line.begin, line.contentEnd - line.begin);
    if (!line.terminated) damaged_ = true;  // the file ends inside a line
    pos = line.next;
    if (content.empty() || content.front() == ';') continue;
    if (content.front() == '[') {
      const std::size_t before = sections_.size();
      skipping = false;
      parseSectionHeader(content, line.begin, line.next);
      if (sections_.size() > before && sections_.back().path.size() > kMaxKeyDepth) {
        sections_.pop_back();
        skipping = true;
      }
      inSection = sections_.size() > before;
      if (!inSection && !skipping) damaged_ = true;
      continue;
    }
    if (skipping) {
      // The lines of a skipped key, continuation lines among them: none is a key.
      continue;
    }
    if (content.front() == '#') {
      if (!inSection) {
        if (content == "#arch=win64") win64_ = true;
        continue;
      }
      Section& section = sections_.back();
      if (content.substr(0, 6) == "#time=") {
        if (const auto t = content.substr(6); t.size() <= 16 && !t.empty()) {
          uint64_t time = 0;
          bool ok = true;
          for (char c : t) {
            ok = ok && isHexDigit(c);
            time = (time << 4) | hexValue(c);
          }
          if (ok) section.time = time;
        }
      } else if (content.substr(0, 8) == "#class=\"") {
        std::size_t at = 8;
        if (auto cls = unescapeText(content, at, '"')) section.keyClass = *cls;
      }
      section.end = line.next;
      continue;
    }
    if (content.front() != '@' && content.front() != '"') {
      damaged_ = true;  // a line Wine would not understand either
      continue;
    }
    // A value line, with its continuation lines when the data ends in a backslash.
    ValueLine value;
    value.begin = line.begin;
    std::size_t at = 1;
    std::optional<std::u16string> name = content.front() == '@' ? std::optional<std::u16string>(u"")
                                                                : unescapeText(content, at, '"');
    std::string data;
    bool ok = name.has_value();
    if (ok) {
      while (at < content.size() && isBlank(content[at])) ++at;
      ok = at < content.size() && content[at] == '=';
      ++at;
      while (ok && at < content.size() && isBlank(content[at])) ++at;
    }
    std::string_view rest = ok ? content.substr(at) : std::string_view();
    value.end = line.next;
    bool hex = ok && rest.substr(0, 3) == "hex";
    while (ok) {
      const std::string_view piece = hex ? trimBlanks(rest) : rest;
      if (!hex || piece.empty() || piece.back() != '\\') {
        data += piece;
        break;
      }
      data += piece.substr(0, piece.size() - 1);
      const Line more = lineAt(text_, pos);
      if (pos >= text_.size() || text_[more.begin] == '[') {
        ok = false;  // the continuation is missing: the value is cut short
        break;
      }
      if (!more.terminated) damaged_ = true;
      rest = std::string_view(text_.data() + more.begin, more.contentEnd - more.begin);
      pos = more.next;
      value.end = more.next;
    }
    if (ok) value.value = parseValueData(data);
    if (!value.value) damaged_ = true;
    if (!inSection) {
      damaged_ = true;  // a value without a key
      continue;
    }
    value.name = name.value_or(u"");
    sections_.back().end = value.end;
    sections_.back().values.push_back(std::move(value));
  }
  index();
}

void Document::parseSectionHeader(std::string_view line, std::size_t begin, std::size_t end) {
  std::size_t at = 1;
  const auto name = unescapeText(line, at, ']');
  if (!name) return;
  Section section;
  section.path = splitPath(*name);
  section.begin = begin;
  section.end = end;
  sections_.push_back(std::move(section));
}

void Document::index() {
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    const KeyPath& path = sections_[i].path;
    std::size_t at = 0;
    for (const std::u16string& level : path) {
      auto [child, added] = nodes_[at].children.try_emplace(foldName(level), nodes_.size());
      if (added) {
        nodes_[at].childNames.push_back(level);
        at = child->second;
        nodes_.emplace_back();  // `child` is not used after this: nodes_ may move
      } else {
        at = child->second;
      }
    }
    nodes_[at].sections.push_back(i);
  }
}

const Document::KeyNode* Document::node(const KeyPath& path) const {
  if (nodes_.empty()) return nullptr;
  std::size_t at = 0;
  for (const std::u16string& level : path) {
    const auto child = nodes_[at].children.find(foldName(level));
    if (child == nodes_[at].children.end()) return nullptr;
    at = child->second;
  }
  return &nodes_[at];
}

bool Document::hasKey(const KeyPath& path) const { return node(path) != nullptr; }

const Document::Section* Document::lastSection(const KeyPath& path) const {
  const KeyNode* key = node(path);
  if (key == nullptr || key->sections.empty()) return nullptr;
  return &sections_[key->sections.back()];
}

const Document::ValueLine* Document::findLine(const KeyPath& path, std::u16string_view name,
                                              const Section** section) const {
  const KeyNode* key = node(path);
  if (key == nullptr) return nullptr;
  // As Wine loads the file, a later line for the same name replaces an earlier one.
  const auto& indices = key->sections;
  for (auto i = indices.rbegin(); i != indices.rend(); ++i) {
    const Section& candidate = sections_[*i];
    for (auto v = candidate.values.rbegin(); v != candidate.values.rend(); ++v) {
      if (compareNames(v->name, name) == 0) {
        if (section != nullptr) *section = &candidate;
        return &*v;
      }
    }
  }
  return nullptr;
}

const Value* Document::findValue(const KeyPath& path, std::u16string_view name) const {
  const ValueLine* line = findLine(path, name, nullptr);
  return line != nullptr && line->value ? &*line->value : nullptr;
}

std::vector<std::pair<std::u16string, const Value*>> Document::values(const KeyPath& path) const {
  std::vector<std::pair<std::u16string, const Value*>> out;
  const KeyNode* key = node(path);
  if (key == nullptr) return out;
  std::map<std::u16string, std::size_t> slot;  // folded name -> index in out
  for (std::size_t i : key->sections) {
    for (const ValueLine& line : sections_[i].values) {
      const std::u16string folded = foldName(line.name);
      const auto existing = slot.find(folded);
      const Value* value = line.value ? &*line.value : nullptr;
      if (existing == slot.end()) {
        slot[folded] = out.size();
        out.emplace_back(line.name, value);
      } else {
        out[existing->second] = {line.name, value};
      }
    }
  }
  std::erase_if(out, [](const auto& entry) { return entry.second == nullptr; });
  return out;
}

std::vector<std::u16string> Document::subkeys(const KeyPath& path) const {
  const KeyNode* key = node(path);
  return key == nullptr ? std::vector<std::u16string>() : key->childNames;
}

std::u16string Document::keyClass(const KeyPath& path) const {
  const Section* section = lastSection(path);
  return section != nullptr ? section->keyClass : std::u16string();
}

uint64_t Document::lastWriteTime(const KeyPath& path) const {
  const Section* section = lastSection(path);
  return section != nullptr ? section->time : 0;
}

KeyPath Document::storedSpelling(const KeyPath& path) const {
  KeyPath out = path;
  for (const Section& section : sections_) {
    const std::size_t n = std::min(section.path.size(), path.size());
    std::size_t same = 0;
    while (same < n && compareNames(section.path[same], path[same]) == 0) ++same;
    for (std::size_t i = 0; i < same; ++i) out[i] = section.path[i];
  }
  return out;
}

std::string Document::spliced(std::size_t begin, std::size_t end,
                              const std::string& replacement) const {
  std::string out;
  out.reserve(text_.size() + replacement.size() * (crlf_ ? 2 : 1));
  out.append(text_, 0, begin);
  if (crlf_) {
    // New lines end as the file's own do.
    for (char c : replacement) {
      if (c == '\n') out.push_back('\r');
      out.push_back(c);
    }
  } else {
    out += replacement;
  }
  out.append(text_, end, std::string::npos);
  return out;
}

std::string Document::sectionText(const KeyPath& path, int64_t now) const {
  // Wine writes the separators as "\\" and escapes the brackets in names.
  std::string header = "[";
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (i > 0) header += "\\\\";
    header += escapeText(path[i], "[]");
  }
  const uint64_t fileTime = (static_cast<uint64_t>(now) + 11644473600ull) * 10000000ull;
  return header + "] " + std::to_string(now) + "\n#time=" + hexLower(fileTime) + "\n";
}

std::string Document::textWithSection(const KeyPath& path, const std::string& body,
                                      int64_t now) const {
  const std::string section = sectionText(storedSpelling(path), now) + body;
  // Wine keeps its keys in order; the new section goes before the first that sorts
  // after it, each section set off by an empty line.
  for (const Section& existing : sections_) {
    if (comparePaths(existing.path, path) > 0) {
      return spliced(existing.begin, existing.begin, section + "\n");
    }
  }
  std::string tail;
  if (!text_.empty() && text_.back() != '\n') tail = "\n";
  return spliced(text_.size(), text_.size(), tail + "\n" + section);
}

std::string Document::textWithValue(const KeyPath& path, std::u16string_view name,
                                    const Value& value, int64_t now) const {
  if (const ValueLine* existing = findLine(path, name, nullptr)) {
    // The name keeps its stored spelling.
    return spliced(existing->begin, existing->end, formatValue(existing->name, value));
  }
  const std::string line = formatValue(name, value);
  const Section* section = lastSection(path);
  if (section == nullptr) return textWithSection(path, line, now);
  std::size_t at = section->end;
  for (const ValueLine& other : section->values) {
    if (compareNames(other.name, name) > 0) {
      at = other.begin;
      break;
    }
  }
  const bool needsNewline = at > 0 && text_[at - 1] != '\n';
  return spliced(at, at, (needsNewline ? "\n" : "") + line);
}

std::string Document::textWithoutValue(const KeyPath& path, std::u16string_view name) const {
  const KeyNode* key = node(path);
  if (key == nullptr) return text_;
  std::vector<std::pair<std::size_t, std::size_t>> lines;  // byte ranges, in file order
  for (std::size_t i : key->sections) {
    for (const ValueLine& line : sections_[i].values) {
      if (compareNames(line.name, name) == 0) lines.emplace_back(line.begin, line.end);
    }
  }
  std::sort(lines.begin(), lines.end());
  std::string out;
  out.reserve(text_.size());
  std::size_t at = 0;
  for (const auto& [begin, end] : lines) {
    out.append(text_, at, begin - at);
    at = end;
  }
  out.append(text_, at, std::string::npos);
  return out;
}

std::string Document::textWithKey(const KeyPath& path, int64_t now) const {
  return hasKey(path) ? text_ : textWithSection(path, "", now);
}

void Document::setValue(const KeyPath& path, std::u16string_view name, const Value& value,
                        int64_t now) {
  text_ = textWithValue(path, name, value, now);
  parse();
}

void Document::createKey(const KeyPath& path, int64_t now) {
  text_ = textWithKey(path, now);
  parse();
}

}  // namespace tollwick::wine
