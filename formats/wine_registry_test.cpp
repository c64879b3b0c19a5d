// Wine's registry file format and the store over it, without a real prefix: a file
// that Wine wrote (settings/testdata/wine_system.reg, made by make_wine_fixture.sh),
// damaged files, and a file double that records every replacement.

#include "formats/wine_registry.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "formats/wine_registry_document.h"

namespace tollwick::wine {
namespace {

using namespace std::string_literals;
using platform::Code;
using platform::RegValue;
using platform::Result;
using platform::Status;
namespace reg = platform::reg;

std::string fixture() {
  std::ifstream in(std::string(TOLLWICK_SOURCE_DIR) + "/settings/testdata/wine_system.reg",
                   std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<uint8_t> utf16(std::u16string_view text) {
  std::vector<uint8_t> bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  return bytes;
}

const KeyPath kZelkor = {u"Software", u"Varnholt", u"Zelkor"};

TEST(WineRegistryFormat, EveryValueWineWroteReadsAsWineStoredIt) {
  const Document doc(fixture());
  ASSERT_TRUE(doc.isRegistryFile());
  EXPECT_FALSE(doc.damaged());
  EXPECT_TRUE(doc.isWin64());
  std::vector<uint8_t> counting;
  for (uint8_t b = 0; b < 0x30; ++b) counting.push_back(b);
  const std::pair<std::u16string, Value> expected[] = {
      {u"", {reg::kSz, utf16(u"default\0"s)}},
      {u"Binary", {reg::kBinary, counting}},
      {u"Dword26", {reg::kDword, {0x1A, 0, 0, 0}}},
      {u"DwordAll", {reg::kDword, {0xFF, 0xFF, 0xFF, 0xFF}}},
      {u"Empty", {reg::kSz, {0, 0}}},
      {u"Expand", {reg::kExpandSz, utf16(u"%SystemRoot%\\Zelkor\0"s)}},
      {u"LoadDefaultSystem", {reg::kSz, utf16(u"True\0"s)}},
      {u"Multi", {reg::kMultiSz, utf16(u"first\0second part\0\0"s)}},
      {u"None", {reg::kNone, {0, 0}}},
      {u"Quote \"q\" and \\back",
       {reg::kSz, utf16(u"C:\\Games\\\"X\" caf\u00e9 1\u00e92 tab\tend\0"s)}},
      {u"Qword", {reg::kQword, {0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}}},
      {u"WorkingDirectory", {reg::kSz, utf16(u"C:\\Games\\Zelkor\0"s)}},
  };
  for (const auto& [name, value] : expected) {
    const Value* found = doc.findValue(kZelkor, name);
    ASSERT_NE(found, nullptr) << std::string(name.begin(), name.end());
    EXPECT_EQ(*found, value) << std::string(name.begin(), name.end());
  }
  EXPECT_EQ(doc.values(kZelkor).size(), std::size(expected));
  const Value* inner = doc.findValue({u"SOFTWARE", u"varnholt", u"zelkor", u"sub [X]"}, u"INNER");
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(inner->data, utf16(u"in\0"s));
  const Value* wow =
      doc.findValue({u"Software", u"Wow6432Node", u"Varnholt", u"Zelkor"}, u"WorkingDirectory");
  ASSERT_NE(wow, nullptr);
  EXPECT_EQ(wow->data, utf16(u"C:\\Games\\Zelkor32\0"s));
  const Value* link =
      doc.findValue({u"Software", u"Wow6432Node", u"Classes"}, u"SymbolicLinkValue");
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->type, reg::kLink);
  EXPECT_EQ(link->data.size(), 92u);  // "\Registry\Machine\Software\Classes\Wow6432Node" in UTF-16
  EXPECT_TRUE(doc.hasKey({u"software", u"VARNHOLT"}));  // a parent without a section
  EXPECT_EQ(doc.subkeys(kZelkor), std::vector<std::u16string>{u"Sub [x]"});
}

TEST(WineRegistryFormat, StoringEveryValueOverItselfKeepsEveryByte) {
  const std::string original = fixture();
  Document doc(original);
  const KeyPath keys[] = {kZelkor,
                          {u"Software", u"Varnholt", u"Zelkor", u"Sub [x]"},
                          {u"Software", u"Wow6432Node", u"Classes"},
                          {u"Software", u"Wow6432Node", u"Varnholt", u"Zelkor"}};
  for (const KeyPath& key : keys) {
    // Copies: each store parses the document again.
    std::vector<std::pair<std::u16string, Value>> values;
    for (const auto& [name, value] : doc.values(key)) values.emplace_back(name, *value);
    ASSERT_FALSE(values.empty());
    for (const auto& [name, value] : values) {
      doc.setValue(key, name, value, 1);
      EXPECT_EQ(doc.text(), original) << std::string(name.begin(), name.end());
    }
  }
}

TEST(WineRegistryFormat, StoringOneValueChangesOnlyItsLine) {
  const std::string original = fixture();
  Document doc(original);
  doc.setValue(kZelkor, u"workingdirectory", {reg::kSz, utf16(u"D:\\Play")}, 1);
  std::string expected = original;
  const std::string oldLine = "\"WorkingDirectory\"=\"C:\\\\Games\\\\Zelkor\"\n";
  expected.replace(expected.find(oldLine), oldLine.size(),
                   "\"WorkingDirectory\"=hex(1):44,00,3a,00,5c,00,50,00,6c,00,61,00,79,00\n");
  EXPECT_EQ(doc.text(), expected);

  doc.setValue(kZelkor, u"Binary", {reg::kDword, {1, 0, 0, 0}}, 1);
  EXPECT_NE(doc.text().find("\"Binary\"=dword:00000001\n\"Dword26\""), std::string::npos);
  EXPECT_EQ(doc.text().find("2f\n"), std::string::npos);  // its continuation lines went too
}

TEST(WineRegistryFormat, DeletingAValueRemovesEveryLineOfItsNameAndNothingElse) {
  const std::string original = fixture();
  const Document doc(original);
  // A value over several lines goes with its continuation lines.
  std::string expected = original;
  const std::size_t begin = expected.find("\"Binary\"=");
  expected.erase(begin, expected.find("\"Dword26\"=") - begin);
  const Document without(doc.textWithoutValue(kZelkor, u"binary"));
  EXPECT_EQ(without.text(), expected);
  EXPECT_FALSE(without.damaged());
  EXPECT_EQ(without.values(kZelkor).size(), doc.values(kZelkor).size() - 1);
  EXPECT_EQ(doc.textWithoutValue(kZelkor, u"Missing"), original);

  // A name given twice: the earlier line must not come back.
  const std::string twice = std::string(wine::kSignature) +
                            "\n\n[Software\\\\V] 1\n\"A\"=\"1\"\n\"B\"=\"b\"\n\n"
                            "[Software\\\\V] 2\n\"a\"=\"2\"\n";
  const Document once(Document(twice).textWithoutValue({u"Software", u"V"}, u"A"));
  EXPECT_EQ(once.text(), std::string(wine::kSignature) +
                             "\n\n[Software\\\\V] 1\n\"B\"=\"b\"\n\n[Software\\\\V] 2\n");
  EXPECT_EQ(once.findValue({u"Software", u"V"}, u"A"), nullptr);
}

TEST(WineRegistryFormat, NewValuesAndKeysTakeTheirPlaceInWinesOrder) {
  Document doc(fixture());
  doc.setValue(kZelkor, u"Cheese", {reg::kSz, utf16(u"T\0"s)}, 1);
  EXPECT_NE(doc.text().find("  2f\n\"Cheese\"=\"T\"\n\"Dword26\""), std::string::npos);
  doc.setValue(kZelkor, u"ZZZ", {reg::kSz, utf16(u"z\0"s)}, 1);
  EXPECT_NE(doc.text().find("\"WorkingDirectory\"=\"C:\\\\Games\\\\Zelkor\"\n\"ZZZ\"=\"z\"\n\n"),
            std::string::npos);

  // A new key keeps the spelling of the levels that exist and sorts before its sibling.
  doc.setValue({u"SOFTWARE", u"VARNHOLT", u"Alpha"}, u"V", {reg::kDword, {2, 0, 0, 0}}, 1796619687);
  EXPECT_NE(doc.text().find("\n\n[Software\\\\Varnholt\\\\Alpha] 1796619687\n"
                            "#time=1dd860803a52d80\n\"V\"=dword:00000002\n\n"
                            "[Software\\\\Varnholt\\\\Zelkor] "),
            std::string::npos);
  EXPECT_FALSE(doc.damaged());
  EXPECT_NE(doc.findValue({u"software", u"varnholt", u"alpha"}, u"v"), nullptr);

  // A key that sorts after every other goes at the end, set off by an empty line.
  doc.createKey({u"Zeta", u"Last"}, 1);
  EXPECT_TRUE(doc.text().ends_with("\n\n[Zeta\\\\Last] 1\n#time=19db1ded5d71680\n"));
  EXPECT_TRUE(doc.hasKey({u"zeta"}));
}

// A file whose lines end in "\r\n" gets new lines that end so too: the same edits make
// the same file as in one whose lines end in "\n", line ends apart.
TEST(WineRegistryFormat, NewLinesEndAsTheFilesOwnLinesEnd) {
  const auto crlf = [](const std::string& text) {
    std::string out;
    for (char c : text) {
      if (c == '\n') out.push_back('\r');
      out.push_back(c);
    }
    return out;
  };
  Document lf(fixture());
  Document both(crlf(fixture()));
  for (Document* doc : {&lf, &both}) {
    doc->setValue(kZelkor, u"WorkingDirectory", {reg::kSz, utf16(u"D:\\Play")}, 1);
    doc->setValue(kZelkor, u"Cheese", {reg::kBinary, std::vector<uint8_t>(40, 0xAB)}, 1);
    doc->createKey({u"Zeta", u"Last"}, 1);
  }
  EXPECT_EQ(both.text(), crlf(lf.text()));
  EXPECT_FALSE(both.damaged());
}

TEST(WineRegistryFormat, EscapesAreWrittenAsWineWritesThem) {
  const std::pair<std::u16string, std::string> cases[] = {
      {u"C:\\Games", "C:\\\\Games"},
      {u"say \"hi\"", "say \\\"hi\\\""},
      {u"caf\u00e9 x", "caf\\xe9 x"},
      {u"\u00e9d", "\\x00e9d"},           // a hexadecimal digit follows: four digits
      {u"\U0001F600", "\\xd83d\\xde00"},  // outside the BMP: both halves
      {u"a\tb\nc\rd\ae\bf\vg\fh\x1B", "a\\tb\\nc\\rd\\ae\\bf\\vg\\fh\\e"},
      {u"\x01x\x01"
       u"7",
       "\\1x\\0017"},      // octal; three digits before an octal digit
      {u"end\0"s, "end"},  // the terminator is not written
      {u"mid\0dle"s, "mid\\0dle"},
      {u"\x7F", "\x7F"},
  };
  for (const auto& [text, escaped] : cases) {
    EXPECT_EQ(wine::escapeText(text, "\"\""), escaped);
    std::size_t pos = 0;
    const std::string quoted = escaped + "\"";
    auto back = wine::unescapeText(quoted, pos, '"');
    ASSERT_TRUE(back.has_value()) << escaped;
    std::u16string expected = text;
    if (expected.ends_with(u'\0')) expected.pop_back();
    EXPECT_EQ(*back, expected) << escaped;
    EXPECT_EQ(pos, quoted.size());
  }
  EXPECT_EQ(wine::escapeText(u"Sub [x] \"q\"", "[]"), "Sub \\[x\\] \"q\"");
}

TEST(WineRegistryFormat, EscapesWineReadsButDoesNotWrite) {
  const std::pair<std::string, std::u16string> cases[] = {
      {"\\q\"", u"q"},    // any other escaped character stands for itself
      {"\\x41\"", u"A"},  // one to four hexadecimal digits
      {"\\x00410\"", u"A0"},
      {"\\101\"", u"A"},                // one to three octal digits
      {"caf\xC3\xA9\"", u"caf\u00e9"},  // raw UTF-8
      {"\xFF\"", u"\uFFFD"},            // malformed UTF-8 as Wine converts it
  };
  for (const auto& [escaped, text] : cases) {
    std::size_t pos = 0;
    EXPECT_EQ(wine::unescapeText(escaped, pos, '"'), text) << escaped;
  }
  for (const std::string bad : {"abc", "abc\\", "\\x\"", "\\xg\""}) {
    std::size_t pos = 0;
    EXPECT_EQ(wine::unescapeText(bad, pos, '"'), std::nullopt) << bad;
  }
}

TEST(WineRegistryFormat, LongBinaryDataWrapsAsWineWrapsIt) {
  Value value{reg::kBinary, {}};
  for (uint8_t b = 0; b < 0x30; ++b) value.data.push_back(b);
  EXPECT_EQ(wine::formatValue(u"Binary", value),
            "\"Binary\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\n"
            "  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,\\\n"
            "  2f\n");
  EXPECT_EQ(wine::formatValue(u"", {reg::kNone, {}}), "@=hex(0):\n");
  EXPECT_EQ(wine::formatValue(u"D", {reg::kDword, {1, 2}}), "\"D\"=hex(4):01,02\n");
  EXPECT_EQ(wine::formatValue(u"S", {reg::kSz, {'a', 0, 'b'}}), "\"S\"=hex(1):61,00,62\n");
  EXPECT_EQ(wine::formatValue(u"M", {reg::kMultiSz, utf16(u"a\0b\0\0"s)}),
            "\"M\"=str(7):\"a\\0b\\0\"\n");
  EXPECT_EQ(wine::formatValue(u"Odd", {0xffff0009u, {1}}), "\"Odd\"=hex(ffff0009):01\n");
}

// A file with one bad line among good ones: the bad value reads as missing, the good
// ones as written, and the document knows it is damaged.
TEST(WineRegistryFormat, DamagedLinesReadAsMissingAndMarkTheFile) {
  const std::string head =
      std::string(wine::kSignature) + "\n\n[Software\\\\V] 1\n\"Good\"=\"yes\"\n";
  const std::pair<const char*, std::string> cases[] = {
      {"truncated line", "\"Bad\"=\"C:\\\\Ga"},   {"truncated hex", "\"Bad\"=hex:00,01,\\"},
      {"bad escape", "\"Bad\"=\"a\\x\"\n"},       {"unknown type", "\"Bad\"=str(3):\"x\"\n"},
      {"unknown word", "\"Bad\"=word:1\n"},       {"nine-digit dword", "\"Bad\"=dword:123456789\n"},
      {"dword with junk", "\"Bad\"=dword:12x\n"}, {"empty dword", "\"Bad\"=dword:\n"},
      {"odd hex digits", "\"Bad\"=hex:0,01\n"},   {"three hex digits", "\"Bad\"=hex:001,02\n"},
      {"bad hex type", "\"Bad\"=hex(zz):00\n"},   {"junk after string", "\"Bad\"=\"x\" y\n"},
      {"no equals sign", "\"Bad\" \"x\"\n"},      {"unterminated name", "\"Bad=\"x\"\n"},
  };
  for (const auto& [label, line] : cases) {
    SCOPED_TRACE(label);
    const Document doc(head + line);
    EXPECT_TRUE(doc.damaged());
    EXPECT_EQ(doc.findValue({u"Software", u"V"}, u"Bad"), nullptr);
    ASSERT_NE(doc.findValue({u"Software", u"V"}, u"Good"), nullptr);
  }
  // A continuation that never comes does not swallow the next key.
  const Document cut(head + "\"Bad\"=hex:00,\\\n[Software\\\\W] 1\n\"X\"=\"x\"\n");
  EXPECT_TRUE(cut.damaged());
  EXPECT_NE(cut.findValue({u"Software", u"W"}, u"X"), nullptr);
  // Lines Wine tolerates are not damage.
  const Document fine(head + "; comment\n#class=\"c\"\n#link\n#unknown\n\"S\"=str:\"s\"\r\n");
  EXPECT_FALSE(fine.damaged());
  EXPECT_NE(fine.findValue({u"Software", u"V"}, u"S"), nullptr);
}

// A key deeper than Windows allows (512 levels) is skipped with its values, at a cost
// in proportion to its line (the reader once kept the whole path for every level:
// gigabytes for one key 40,000 levels deep). Keys up to the limit, and the rest of the
// file, read as ever, and the file may still be written.
TEST(WineRegistryFormat, KeysDeeperThanWindowsAllowsAreSkipped) {
  const auto header = [](size_t levels) {
    std::string line = "[";
    for (size_t i = 0; i < levels; ++i) line += i == 0 ? "L" : "\\\\L";
    return line + "] 1\n";
  };
  const std::string text = std::string(wine::kSignature) + "\n\n" + header(512) +
                           "\"V\"=\"at the limit\"\n\n" + header(40000) +
                           "\"V\"=hex:01,\\\n  02\n\n[Software\\\\Zelkor] 1\n\"V\"=\"kept\"\n";
  const Document document(text);
  EXPECT_FALSE(document.damaged());
  const Value* atTheLimit = document.findValue(KeyPath(512, u"l"), u"V");
  ASSERT_NE(atTheLimit, nullptr);
  EXPECT_EQ(atTheLimit->type, reg::kSz);
  EXPECT_FALSE(document.hasKey(KeyPath(513, u"L")));
  EXPECT_EQ(document.subkeys(KeyPath(512, u"L")), std::vector<std::u16string>());
  EXPECT_NE(document.findValue(KeyPath{u"Software", u"Zelkor"}, u"V"), nullptr);
}

TEST(WineRegistryFormat, OnlyTheSignatureMakesARegistryFile) {
  for (const std::string& text : {"REGEDIT4\n[Software\\\\V]\n\"A\"=\"b\"\n"s, ""s,
                                  "WINE REGISTRY Version 1\n"s, " WINE REGISTRY Version 2\n"s}) {
    const Document doc(text);
    EXPECT_FALSE(doc.isRegistryFile());
    EXPECT_FALSE(doc.hasKey({u"Software", u"V"}));
  }
  EXPECT_TRUE(Document("WINE REGISTRY Version 2\r\n").isRegistryFile());
  EXPECT_TRUE(Document(wine::emptyFileText()).isRegistryFile());
  EXPECT_FALSE(Document(wine::emptyFileText()).damaged());
}

TEST(WineRegistryFormat, NoCutOrFlipOfAWineFileCrashesTheParser) {
  const std::string original = fixture();
  for (std::size_t n = 0; n < original.size(); ++n) {
    const Document doc(original.substr(0, n));
    if (n > wine::kSignature.size() + 1 && original[n - 1] != '\n') {
      EXPECT_TRUE(doc.damaged()) << n;
    }
    doc.findValue(kZelkor, u"Binary");
  }
  std::mt19937 random(20261207);
  for (int round = 0; round < 2000; ++round) {
    std::string text = original;
    for (int flips = 0; flips < 4; ++flips) {
      text[random() % text.size()] = static_cast<char>(random() & 0xFF);
    }
    const Document doc(text);
    for (const auto& [name, value] : doc.values(kZelkor)) {
      if (name.ends_with(u'\0')) continue;  // Wine cannot write such a name either
      // Whatever reads back from a damaged file formats into a line that reads the same.
      const Document again(std::string(wine::kSignature) + "\n[K]\n" +
                           wine::formatValue(name, *value));
      const Value* back = again.findValue({u"K"}, name);
      ASSERT_NE(back, nullptr);
      EXPECT_EQ(*back, *value);
    }
  }
}

// A file double: the contents, whether a wineserver holds it, and every replacement.
class FakeRegistryFile : public WineRegistryFile {
 public:
  struct State {
    std::optional<std::string> contents;
    bool readFails = false;
    bool inUse = false;
    int replacements = 0;
  };
  explicit FakeRegistryFile(State* state) : state_(state) {}

  Result<std::string> read() override {
    if (state_->readFails) return Code::kIoError;
    if (!state_->contents) return Code::kNotFound;
    return *state_->contents;
  }
  bool inUse() override { return state_->inUse; }
  Status replace(const std::string& contents) override {
    ++state_->replacements;
    state_->contents = contents;
    return {};
  }
  int64_t now() override { return 1; }

 private:
  State* state_;
};

class WineRegistryStore : public ::testing::Test {
 protected:
  WineRegistry registry_{std::make_unique<FakeRegistryFile>(&file_)};
  FakeRegistryFile::State file_;

  Status set(const char* path, const char* name, const std::string& text) {
    return registry_.writeValue(reg::kLocalMachine, path, name, {reg::kSz, text});
  }
  std::string query(const char* path, const char* name, uint32_t* type = nullptr) {
    const Result<RegValue> value = registry_.readValue(reg::kLocalMachine, path, name);
    if (!value.ok()) return "<missing>";
    if (type != nullptr) *type = value->type;
    return value->data;
  }
};

TEST_F(WineRegistryStore, ThirtyTwoBitViewLooksUnderWow6432NodeFirst) {
  file_.contents = fixture();
  const char* zelkor = "SOFTWARE\\Varnholt\\Zelkor";
  EXPECT_EQ(query(zelkor, "WorkingDirectory"), "C:\\Games\\Zelkor32"s + '\0');
  EXPECT_EQ(query(zelkor, "Dword26"), "<missing>");  // the plain path's values are not seen
  EXPECT_EQ(query("Software\\Varnholt\\Zelkor\\Sub [x]", "Inner"), "in"s + '\0');  // plain only

  // Without the 32-bit key the plain path serves, as Wine's A functions return it.
  const std::string wow = "[Software\\\\Wow6432Node\\\\Varnholt\\\\Zelkor]";
  file_.contents->replace(file_.contents->find(wow), wow.size(), "[Software\\\\Other]");
  uint32_t type = 0;
  EXPECT_EQ(query(zelkor, "Quote \"q\" and \\back", &type),
            "C:\\Games\\\"X\" caf\xE9 1\xE9"
            "2 tab\tend"s +
                '\0');
  EXPECT_EQ(type, reg::kSz);
  EXPECT_EQ(query(zelkor, "Multi", &type), "first\0second part\0\0"s);
  EXPECT_EQ(type, reg::kMultiSz);
  EXPECT_EQ(query(zelkor, "Qword", &type), "\x88\x77\x66\x55\x44\x33\x22\x11"s);
  EXPECT_EQ(type, reg::kQword);
  EXPECT_EQ(query(zelkor, ""), "default"s + '\0');
  EXPECT_EQ(query(zelkor, "Expand").size(), 20u);
  EXPECT_EQ(file_.replacements, 0);
}

TEST_F(WineRegistryStore, OtherRootsHaveNoKeys) {
  file_.contents = fixture();
  const Status status =
      registry_.readValue(reg::kCurrentUser, "Software\\Varnholt\\Zelkor", "WorkingDirectory")
          .status();
  EXPECT_EQ(status, Code::kNotFound);
  EXPECT_EQ(status.osError(), 2);
  EXPECT_EQ(status.context(), "Software\\Varnholt\\Zelkor");
  EXPECT_EQ(registry_.createKey(reg::kUsers, "X"), Code::kNotFound);
  EXPECT_EQ(registry_.createKey(12345, "X"), Code::kInvalidArgument);
}

TEST_F(WineRegistryStore, WritesAreRefusedAndTheFileKeptWhenItWasNotReadRight) {
  const std::string good = std::string(wine::kSignature) + "\n\n[Software\\\\V] 1\n\"A\"=\"a\"\n";
  struct Case {
    const char* label;
    std::string contents;
    bool readFails;
    bool inUse;
    Code setCode;
    int32_t osError;
  };
  const Case cases[] = {
      {"damaged elsewhere", good + "\"B\"=dword:123456789\n", false, false, Code::kDamaged, 1009},
      {"cut short", good + "\"B\"=\"trunc", false, false, Code::kDamaged, 1009},
      {"wineserver running", good, false, true, Code::kInUse, 32},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    file_ = {c.contents, c.readFails, c.inUse, 0};
    EXPECT_EQ(query("Software\\V", "A"), "a"s + '\0');
    const Status status = set("Software\\V", "A", "T");
    EXPECT_EQ(status, c.setCode);
    EXPECT_EQ(status.osError(), c.osError);
    EXPECT_EQ(registry_.deleteValue(reg::kLocalMachine, "Software\\V", "A"), c.setCode);
    EXPECT_EQ(file_.replacements, 0);
    EXPECT_EQ(file_.contents, c.contents);
  }

  file_ = {"REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\V]\n\"A\"=\"a\"\n", false, false, 0};
  EXPECT_EQ(query("Software\\V", "A"), "<missing>");  // not read as a registry
  EXPECT_EQ(set("Software\\V", "A", "T"), Code::kNotFound);
  EXPECT_EQ(registry_.createKey(reg::kLocalMachine, "Software\\V"), Code::kDamaged);
  file_ = {good, true, false, 0};
  EXPECT_EQ(registry_.readValue(reg::kLocalMachine, "Software\\V", "A").status(), Code::kIoError);
  EXPECT_EQ(file_.replacements, 0);

  // No values at the root.
  file_ = {good, false, false, 0};
  EXPECT_EQ(set("", "A", "T"), Code::kAccessDenied);
  EXPECT_EQ(file_.replacements, 0);
}

TEST_F(WineRegistryStore, AMissingFileIsAnEmptyRegistryThatAWriteCreates) {
  EXPECT_EQ(query("Software\\Varnholt\\Zelkor", "WipeSystem"), "<missing>");
  EXPECT_EQ(set("Software\\Varnholt\\Zelkor", "WipeSystem", "T"), Code::kNotFound);
  EXPECT_EQ(file_.replacements, 0);
  ASSERT_TRUE(registry_.createKey(reg::kLocalMachine, "Software\\Varnholt\\Zelkor").ok());
  EXPECT_TRUE(set("Software\\Varnholt\\Zelkor", "WipeSystem", "T").ok());
  // No #arch line: a new key goes to the plain path, as in a 32-bit prefix.
  EXPECT_EQ(*file_.contents,
            "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n"
            "[Software\\\\Varnholt\\\\Zelkor] 1\n#time=19db1ded5d71680\n"
            "\"WipeSystem\"=hex(1):54,00\n");
  EXPECT_FALSE(Document(*file_.contents).damaged());
  EXPECT_EQ(file_.replacements, 2);
}

TEST_F(WineRegistryStore, NewKeysOfA64BitPrefixGoToThe32BitView) {
  file_.contents = std::string(wine::kSignature) + "\n\n#arch=win64\n";
  ASSERT_TRUE(registry_.createKey(reg::kLocalMachine, "SOFTWARE\\Varnholt\\Zelkor").ok());
  EXPECT_NE(file_.contents->find("[SOFTWARE\\\\Wow6432Node\\\\Varnholt\\\\Zelkor] 1\n"),
            std::string::npos);
  EXPECT_TRUE(set("Software\\Varnholt\\Zelkor", "A", "b").ok());
  EXPECT_NE(file_.contents->find("\"A\"=hex(1):62,00\n"), std::string::npos);
  // Storing what is already there writes nothing.
  const int before = file_.replacements;
  EXPECT_TRUE(set("Software\\Varnholt\\Zelkor", "a", "b").ok());
  EXPECT_EQ(file_.replacements, before);
  // A deletion goes to the same view.
  EXPECT_TRUE(registry_.deleteValue(reg::kLocalMachine, "Software\\Varnholt\\Zelkor", "A").ok());
  EXPECT_EQ(file_.contents->find("\"A\"="), std::string::npos);
  EXPECT_EQ(registry_.deleteValue(reg::kLocalMachine, "Software\\Varnholt\\Zelkor", "A"),
            Code::kNotFound);
}

}  // namespace
}  // namespace tollwick::wine
