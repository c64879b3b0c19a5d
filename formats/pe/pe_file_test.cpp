#include "formats/pe/pe_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <tuple>

#include "formats/testing/pe_file_builder.h"
#include "platform/testing/scoped_code_page.h"

namespace tollwick::pe {
namespace {

using namespace tollwick::pe::testing;

platform::Result<PeFile> load(const std::string& path, uint16_t ui = kLanguageEnglishUs) {
  auto bytes = readAll(path);
  EXPECT_FALSE(bytes.empty()) << path << " is missing: the build makes it";
  return PeFile::parse(std::move(bytes), ui);
}

std::string str(const PeFile& image, uint32_t id, int32_t capacity = 1000) {
  std::vector<char> buffer(static_cast<std::size_t>(capacity) + 1, 'x');
  const int32_t n = image.loadString(id, buffer.data(), capacity);
  return n <= 0 ? std::string() : std::string(buffer.data(), static_cast<std::size_t>(n));
}

// One resource (type, name, language) holding `data`, in a hand-made file.
std::vector<uint8_t> oneResource(uint16_t type, uint16_t name, uint16_t language,
                                 const std::vector<uint8_t>& data) {
  std::vector<uint8_t> r(88, 0);
  putDirectory(r, 0, 0, 1);
  putEntry(r, 0, 0, type, 0x80000000u | 24);
  putDirectory(r, 24, 0, 1);
  putEntry(r, 24, 0, name, 0x80000000u | 48);
  putDirectory(r, 48, 0, 1);
  putEntry(r, 48, 0, language, 72);
  put32(r, 72, kResourceRva + 88);
  put32(r, 76, static_cast<uint32_t>(data.size()));
  r.insert(r.end(), data.begin(), data.end());
  return wrapResources(r);
}

TEST(PeFile, ThirtyTwoAndSixtyFourBitBuildsOfOneSourceHoldTheSameResources) {
  const auto wide = load(sampleDll());
  const auto narrow = load(sample32Dll());
  ASSERT_TRUE(wide.ok() && narrow.ok());
  EXPECT_TRUE(wide->isPe32Plus());
  EXPECT_FALSE(narrow->isPe32Plus());
  ASSERT_EQ(wide->resources().size(), narrow->resources().size());
  ASSERT_GT(wide->resources().size(), 10u);
  for (std::size_t i = 0; i < wide->resources().size(); ++i) {
    const Resource& a = wide->resources()[i];
    const Resource& b = narrow->resources()[i];
    EXPECT_EQ(a.type, b.type);
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.language, b.language);
    const auto x = wide->bytesOf(a);
    const auto y = narrow->bytesOf(b);
    EXPECT_TRUE(std::equal(x.begin(), x.end(), y.begin(), y.end())) << describeResourceId(a.type);
  }
}

TEST(PeFile, TypeAndNameTextsAreReadAsTheResourceFunctionsReadThem) {
  tollwick::testing::ScopedCodePage western(1252);
  struct Case {
    const char* text;
    std::optional<ResourceId> key;
  };
  const Case cases[] = {
      {"#2", ResourceId::fromId(2)},
      {"#0002", ResourceId::fromId(2)},
      {"#2x", ResourceId::fromId(2)},  // digits up to the first non-digit
      {"#65535", ResourceId::fromId(65535)},
      {"#65538", std::nullopt},  // does not fit in 16 bits
      {"custom", ResourceId::fromName(u"CUSTOM")},
      {"Wave", ResourceId::fromName(u"WAVE")},
      {" #2", ResourceId::fromName(u" #2")},  // a name, not a number
      {"caf\xE9", ResourceId::fromName(u"CAF\u00C9")},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::resourceIdFromText(c.text), c.key) << c.text;

  const auto edge = load(edgeDll());
  ASSERT_TRUE(edge.ok());
  EXPECT_NE(
      edge->find(*platform::resourceIdFromText("Custom"), *platform::resourceIdFromText("logo")),
      nullptr);
  EXPECT_NE(edge->find(*platform::resourceIdFromText("#10"), *platform::resourceIdFromText("#7")),
            nullptr);  // RCDATA 7
  EXPECT_EQ(edge->find(*platform::resourceIdFromText("CUSTOMS"), ResourceId::fromId(2)), nullptr);
}

TEST(PeFile, StringsComeBackAsTheAnsiStringLoaderGivesThem) {
  tollwick::testing::ScopedCodePage western(1252);
  const auto edge = load(edgeDll());
  ASSERT_TRUE(edge.ok());
  // "Hello" with capacities 64, 6, 5, 2, 1.
  const std::pair<int32_t, std::string> cut[] = {
      {64, "Hello"}, {6, "Hello"}, {5, "Hell"}, {2, "H"}, {1, ""}};
  for (const auto& [capacity, text] : cut) {
    char buffer[80];
    std::fill(std::begin(buffer), std::end(buffer), 'x');
    EXPECT_EQ(edge->loadString(1, buffer, capacity), static_cast<int32_t>(text.size()));
    EXPECT_EQ(std::string(buffer), text) << "capacity " << capacity;
  }
  char untouched[4] = {'x', 'x', 'x', '\0'};
  EXPECT_EQ(edge->loadString(1, untouched, 0), -1);
  EXPECT_EQ(edge->loadString(1, untouched, -5), -1);
  EXPECT_STREQ(untouched, "xxx");

  char buffer[16] = "xxxx";
  EXPECT_EQ(edge->loadString(2, buffer, 16), 0);  // an empty entry
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(edge->loadString(4, buffer, 16), 0);     // an absent slot of a present block
  EXPECT_EQ(edge->loadString(1000, buffer, 16), 0);  // an absent block
  EXPECT_EQ(str(*edge, 0x80000001u), "Hello");       // the high word is ignored
  EXPECT_EQ(str(*edge, 3), "caf\xE9 \x80 ?");        // Windows-1252, '?' for the rest
  EXPECT_EQ(str(*edge, 17), "block two");
  EXPECT_EQ(str(*edge, 0xFFFF), "last id");
}

TEST(PeFile, LanguageIsPickedNeutralPreferredPrimaryEnglishThenLowest) {
  EXPECT_EQ(str(*load(edgeDll(), 0x0409), 1), "Hello");
  EXPECT_EQ(str(*load(edgeDll(), 0x0407), 1), "Hallo");
  EXPECT_EQ(str(*load(edgeDll(), 0x0807), 1), "Hello");  // de-CH: neither 0x0807 nor 0x0007
  EXPECT_EQ(str(*load(edgeDll(), 0x040C), 1), "Hello");
  // A block only in German serves every language; the choice is per block.
  EXPECT_EQ(str(*load(edgeDll(), 0x0409), 40), "nur deutsch");
  EXPECT_EQ(str(*load(edgeDll(), 0x0407), 17), "block two");  // block 2 is only English
  // No fallback per string: the German block 1 lacks id 5, which the English one has.
  EXPECT_EQ(str(*load(edgeDll(), 0x0407), 5), "");
  EXPECT_EQ(str(*load(edgeDll(), 0x0409), 5), "five");
}

TEST(PeFile, FilesThatAreNotPeFilesDoNotLoad) {
  const std::vector<std::vector<uint8_t>> junk = {
      {}, {'M', 'Z'}, std::vector<uint8_t>(64, 0), readAll(sampleRc())};
  for (const auto& bytes : junk) {
    EXPECT_EQ(PeFile::parse(bytes).status().code(), platform::Code::kDamaged);
  }
  auto wrongMagic = oneResource(10, 1, 0x409, {1, 2, 3});
  put16(wrongMagic, 0x58, 0x107);
  EXPECT_EQ(PeFile::parse(wrongMagic).status().context(),
            "neither a PE32 nor a PE32+ optional header");
  auto tooManySections = oneResource(10, 1, 0x409, {1, 2, 3});
  put16(tooManySections, 0x46, 0xFFFF);
  EXPECT_EQ(PeFile::parse(tooManySections).status().context(), "too many sections");
}

TEST(PeFile, HandMadeResourceIsFoundAndItsBytesServed) {
  const auto image = PeFile::parse(oneResource(10, 7, 0x409, {'a', 'b', 'c'}));
  ASSERT_TRUE(image.ok());
  const Resource* r = image->find(ResourceId::fromId(10), ResourceId::fromId(7));
  ASSERT_NE(r, nullptr);
  const auto bytes = image->bytesOf(*r);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "abc");
}

TEST(PeFile, DataPointingOutsideTheFileIsAMissingResource) {
  for (uint32_t rva : {0u, kResourceRva + 0x10000u, 0xFFFFFFF0u}) {
    auto file = oneResource(10, 7, 0x409, {'a', 'b', 'c'});
    put32(file, kResourceFileOffset + 72, rva);
    const auto image = PeFile::parse(file);
    ASSERT_TRUE(image.ok());
    EXPECT_EQ(image->find(ResourceId::fromId(10), ResourceId::fromId(7)), nullptr) << rva;
  }
  auto huge = oneResource(10, 7, 0x409, {'a', 'b', 'c'});
  put32(huge, kResourceFileOffset + 76, 0x7FFFFFFF);  // size past the end of the file
  EXPECT_TRUE(PeFile::parse(huge)->resources().empty());
}

TEST(PeFile, LoopingAndOverlappingDirectoriesEndQuickly) {
  // A directory whose entries all point back at itself.
  std::vector<uint8_t> loop(16 + 8 * 100, 0);
  putDirectory(loop, 0, 0, 100);
  for (std::size_t i = 0; i < 100; ++i) putEntry(loop, 0, i, 1, 0x80000000u);
  const auto looped = PeFile::parse(wrapResources(loop));
  ASSERT_TRUE(looped.ok());
  EXPECT_TRUE(looped->resources().empty());

  // Thousands of overlapping directories, each claiming every entry after it: a walk
  // that trusted the counts would read billions of entries.
  const std::size_t count = 6000;
  std::vector<uint8_t> overlap(16 + 8 * count + 16, 0);
  for (std::size_t i = 0; i < count; ++i) {
    put16(overlap, 8 * i + 14, 0xFFFF);
    put32(overlap, 8 * i + 16, static_cast<uint32_t>(i + 1));
    put32(overlap, 8 * i + 20, 0x80000000u | static_cast<uint32_t>(8 * (i + 1)));
  }
  const auto start = std::chrono::steady_clock::now();
  const auto image = PeFile::parse(wrapResources(overlap));
  EXPECT_TRUE(image.ok());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(PeFile, EveryTruncationAndDamagedByteIsHandledInsideTheFile) {
  const auto original = readAll(sampleDll());
  ASSERT_FALSE(original.empty());
  auto exercise = [](std::vector<uint8_t> bytes) {
    const auto image = PeFile::parse(std::move(bytes));
    if (!image.ok()) return;
    char buffer[64];
    for (uint32_t id : {253u, 955u, 3257u}) image->loadString(id, buffer, sizeof buffer);
    for (const Resource& r : image->resources()) {
      const auto data = image->bytesOf(r);
      volatile uint8_t sink = data.empty() ? 0 : data.back();  // read the last byte: ASan checks it
      (void)sink;
    }
  };
  for (std::size_t length = 0; length < original.size(); length += (length < 1024 ? 1 : 97)) {
    exercise(std::vector<uint8_t>(original.begin(),
                                  original.begin() + static_cast<std::ptrdiff_t>(length)));
  }
  uint32_t seed = 12345;
  for (int i = 0; i < 1500; ++i) {
    seed = seed * 1103515245u + 12345u;
    auto damaged = original;
    damaged[(seed >> 8) % damaged.size()] ^= static_cast<uint8_t>(1u << ((seed >> 4) % 8));
    exercise(std::move(damaged));
  }
}

// `wrestool -l` output as (type, name, language, rva, size), or nothing when the tool
// is missing.
std::set<std::tuple<std::string, std::string, int, uint32_t, uint32_t>> wrestoolList(
    const std::string& dll) {
  std::set<std::tuple<std::string, std::string, int, uint32_t, uint32_t>> out;
  const std::string listing = std::string(TOLLWICK_BINARY_DIR) + "/wrestool-listing.txt";
  const std::string command = "wrestool -l '" + dll + "' > '" + listing + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0) return out;
  std::ifstream in(listing);
  std::string line;
  while (std::getline(in, line)) {
    auto field = [&](const std::string& key) {
      const auto at = line.find(key);
      if (at == std::string::npos) return std::string();
      auto value = line.substr(at + key.size());
      value = value.substr(0, value.find_first_of(" ]"));
      if (!value.empty() && value.front() == '\'') value = value.substr(1, value.size() - 2);
      return value;
    };
    out.emplace(field("--type="), field("--name="), std::stoi(field("--language=")),
                static_cast<uint32_t>(std::stoul(field("offset="), nullptr, 16)),
                static_cast<uint32_t>(std::stoul(field("size="))));
  }
  std::remove(listing.c_str());
  return out;
}

std::set<std::tuple<std::string, std::string, int, uint32_t, uint32_t>> ourList(
    const PeFile& image) {
  std::set<std::tuple<std::string, std::string, int, uint32_t, uint32_t>> out;
  auto text = [](const ResourceId& k) {
    return k.isName ? describeResourceId(k) : std::to_string(k.id);
  };
  for (const Resource& r : image.resources()) {
    out.emplace(text(r.type), text(r.name), r.language, r.rva, r.size);
  }
  return out;
}

TEST(PeFile, ResourcesAreTheOnesWrestoolLists) {
  if (std::system("wrestool --version > /dev/null 2>&1") != 0) {
    GTEST_SKIP() << "wrestool (icoutils) is not installed";
  }
  for (const std::string& dll : {sampleDll(), sample32Dll(), wineDll("user32.dll")}) {
    if (!exists(dll)) continue;
    const auto image = load(dll);
    ASSERT_TRUE(image.ok()) << dll;
    EXPECT_EQ(ourList(*image), wrestoolList(dll)) << dll;
  }
}

TEST(PeFile, WineUser32ReadsAsWineItselfWouldServeIt) {
  const std::string dll = wineDll("user32.dll");
  if (!exists(dll)) GTEST_SKIP() << "Wine's DLLs are not installed (package libwine)";
  const auto english = load(dll, 0x0409);
  ASSERT_TRUE(english.ok());
  EXPECT_TRUE(english->isPe32Plus());
  EXPECT_EQ(str(*english, 2), "Error");
  EXPECT_EQ(str(*load(dll, 0x0407), 2), "Fehler");
  // String block 1 exists in many languages, among them primary-only ones.
  std::set<uint16_t> languages;
  for (const Resource& r : english->resources()) {
    if (r.type == ResourceId::fromId(rt::kString) && r.name == ResourceId::fromId(1)) {
      languages.insert(r.language);
    }
  }
  EXPECT_GT(languages.size(), 20u);
}

}  // namespace
}  // namespace tollwick::pe
