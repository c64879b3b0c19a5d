#pragma once
// Wine's registry file (system.reg and its kind) as a document, without any file access.
//
// A Document parses a file into key sections and values and remembers the bytes each
// line occupies, so that storing one value rewrites only that value's lines and every
// other byte of the file stays as it was. Values are formatted exactly as Wine writes
// them, their lines ending as the file's own lines end ("\r\n" or "\n"). What cannot be understood
// never stops the parse: the line is recorded as damage, and a damaged value reads as missing.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "formats/wine_registry_names.h"
#include "formats/wine_registry_text.h"

namespace tollwick::wine {

// The first line of every registry file.
inline constexpr std::string_view kSignature = "WINE REGISTRY Version 2";

// The text of a new registry file holding no keys.
std::string emptyFileText();

class Document {
 public:
  // Parses `text`; never fails (see damaged()).
  explicit Document(std::string text);

  const std::string& text() const { return text_; }

  // False when the first line is not the signature; such a file holds no keys.
  bool isRegistryFile() const { return registryFile_; }

  // True when some line could not be understood, or the last line is cut short.
  bool damaged() const { return damaged_; }

  // True when the file says it belongs to a 64-bit prefix ("#arch=win64").
  bool isWin64() const { return win64_; }

  // True when the key has a section of its own or is a parent of one.
  bool hasKey(const KeyPath& path) const;

  // The value, or null when it is missing or its line could not be read.
  const Value* findValue(const KeyPath& path, std::u16string_view name) const;

  // The readable values of a key, one per name (a name given twice: the last line).
  std::vector<std::pair<std::u16string, const Value*>> values(const KeyPath& path) const;

  // The names of a key's direct subkeys, each once.
  std::vector<std::u16string> subkeys(const KeyPath& path) const;

  // The key's class ("#class=") and last write time ("#time=", a FILETIME); empty
  // and 0 when the file gives none.
  std::u16string keyClass(const KeyPath& path) const;
  uint64_t lastWriteTime(const KeyPath& path) const;

  // `path` with each level that already exists spelled as the file spells it.
  KeyPath storedSpelling(const KeyPath& path) const;

  // The text with a value stored: its existing line replaced, or a line added in
  // name order to the key's section (a section added in key order when the key has
  // none). Nothing else in the text changes. `now` (seconds since 1970) stamps a new
  // section.
  std::string textWithValue(const KeyPath& path, std::u16string_view name, const Value& value,
                            int64_t now) const;

  // The text without the value: every line of that name in the key's sections
  // removed (a name given twice would otherwise bring back the earlier line). Nothing
  // else in the text changes.
  std::string textWithoutValue(const KeyPath& path, std::u16string_view name) const;

  // The text with a section without values added for a key that does not exist.
  std::string textWithKey(const KeyPath& path, int64_t now) const;

  // The same edits made to this document.
  void setValue(const KeyPath& path, std::u16string_view name, const Value& value, int64_t now);
  void createKey(const KeyPath& path, int64_t now);

 private:
  struct ValueLine {
    std::u16string name;
    std::optional<Value> value;  // nullopt: the line could not be read
    std::size_t begin = 0;       // first byte of the line
    std::size_t end = 0;         // just past the last line's "\n"
  };
  struct Section {
    KeyPath path;
    std::size_t begin = 0;  // first byte of the "[...]" line
    std::size_t end = 0;    // just past the last line that belongs to the section
    std::vector<ValueLine> values;
    std::u16string keyClass;
    uint64_t time = 0;
  };

  // Where the parse stands: in a key's section (false before the first key and after a
  // bad key line), or in the section of a key too deep to be taken.
  struct ParseState {
    bool inSection = false;
    bool skipping = false;
  };
  void parse();
  // A "[key]" line from `begin` to `next`, the start of the line after it.
  void parseSectionLine(std::string_view line, std::size_t begin, std::size_t next,
                        ParseState& state);
  void parseSectionHeader(std::string_view line, std::size_t begin, std::size_t end);
  // A "#..." line: the file's "#arch", a key's "#time" and "#class".
  void parseOptionLine(std::string_view line, std::size_t next, bool inSection);
  // A value line and its continuation lines; returns where the next line begins.
  std::size_t parseValueLines(std::string_view line, std::size_t begin, std::size_t next,
                              bool inSection);
  void index();
  const ValueLine* findLine(const KeyPath& path, std::u16string_view name,
                            const Section** section) const;
  const Section* lastSection(const KeyPath& path) const;
  std::string spliced(std::size_t begin, std::size_t end, const std::string& replacement) const;
  std::string sectionText(const KeyPath& path, int64_t now) const;
  std::string textWithSection(const KeyPath& path, const std::string& body, int64_t now) const;

  // A key that exists (it has a section, or is the parent of one). Each level holds
  // only its own name, so the index costs memory in proportion to the file however
  // deep its keys are.
  struct KeyNode {
    // Folded name of a direct subkey to its node.
    std::unordered_map<std::u16string, std::size_t> children;
    // The names of the direct subkeys as first spelled, in file order.
    std::vector<std::u16string> childNames;
    // The key's sections, in file order.
    std::vector<std::size_t> sections;
  };

  // The node of `path`; null when the key does not exist.
  const KeyNode* node(const KeyPath& path) const;

  std::string text_;
  bool registryFile_ = false;
  bool damaged_ = false;
  bool win64_ = false;
  // The file's lines end in "\r\n" (its first line does): so do the lines written into it.
  bool crlf_ = false;
  std::vector<Section> sections_;
  std::vector<KeyNode> nodes_;  // nodes_[0] is the root
};

// Windows refuses keys deeper than this; a file's section for a deeper key is skipped
// (its lines stay in the text, as every line the reader does not take).
inline constexpr std::size_t kMaxKeyDepth = 512;

}  // namespace tollwick::wine
