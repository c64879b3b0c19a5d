#include "formats/wine_registry_document.h"

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

  ParseState state;
  std::size_t pos = first.next;
  while (pos < text_.size()) {
    const Line line = lineAt(text_, pos);
    const std::string_view content(text_.data() + line.begin, line.contentEnd - line.begin);
    if (!line.terminated) damaged_ = true;  // the file ends inside a line
    pos = line.next;
    if (content.empty() || content.front() == ';') continue;
    if (content.front() == '[') {
      parseSectionLine(content, line.begin, line.next, state);
    } else if (state.skipping) {
      // The lines of a skipped key, continuation lines among them: none is a key.
    } else if (content.front() == '#') {
      parseOptionLine(content, line.next, state.inSection);
    } else if (content.front() == '@' || content.front() == '"') {
      pos = parseValueLines(content, line.begin, line.next, state.inSection);
    } else {
      damaged_ = true;  // a line Wine would not understand either
    }
  }
  index();
}

void Document::parseSectionLine(std::string_view line, std::size_t begin, std::size_t next,
                                ParseState& state) {
  const std::size_t before = sections_.size();
  state.skipping = false;
  parseSectionHeader(line, begin, next);
  if (sections_.size() > before && sections_.back().path.size() > kMaxKeyDepth) {
    sections_.pop_back();
    state.skipping = true;
  }
  state.inSection = sections_.size() > before;
  if (!state.inSection && !state.skipping) damaged_ = true;
}

void Document::parseOptionLine(std::string_view line, std::size_t next, bool inSection) {
  if (!inSection) {
    if (line == "#arch=win64") win64_ = true;
    return;
  }
  Section& section = sections_.back();
  if (line.substr(0, 6) == "#time=") {
    if (const auto t = line.substr(6); t.size() <= 16 && !t.empty()) {
      uint64_t time = 0;
      bool ok = true;
      for (char c : t) {
        ok = ok && isHexDigit(c);
        time = (time << 4) | hexValue(c);
      }
      if (ok) section.time = time;
    }
  } else if (line.substr(0, 8) == "#class=\"") {
    std::size_t at = 8;
    if (auto cls = unescapeText(line, at, '"')) section.keyClass = *cls;
  }
  section.end = next;
}

std::size_t Document::parseValueLines(std::string_view line, std::size_t begin, std::size_t next,
                                      bool inSection) {
  ValueLine value;
  value.begin = begin;
  value.end = next;
  std::size_t pos = next;
  std::size_t at = 1;
  std::optional<std::u16string> name =
      line.front() == '@' ? std::optional<std::u16string>(u"") : unescapeText(line, at, '"');
  bool ok = name.has_value();
  if (ok) {
    while (at < line.size() && isBlank(line[at])) ++at;
    ok = at < line.size() && line[at] == '=';
    ++at;
    while (ok && at < line.size() && isBlank(line[at])) ++at;
  }
  // The data, joined with its continuation lines when it is hexadecimal and ends in a
  // backslash.
  std::string data;
  std::string_view rest = ok ? line.substr(at) : std::string_view();
  const bool hex = ok && rest.substr(0, 3) == "hex";
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
    return pos;
  }
  value.name = name.value_or(u"");
  sections_.back().end = value.end;
  sections_.back().values.push_back(std::move(value));
  return pos;
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
