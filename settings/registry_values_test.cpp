// regReadValue and regWriteValue against every registry store: the in-memory double
// and, on Linux, a real system.reg in a throw-away Wine prefix. The same cases run on
// both, so the double cannot drift from the store the program uses.

#include "settings/registry_values.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>

#include "platform/registry.h"
#include "platform/seam.h"
#include "platform/testing/memory_registry.h"
#include "platform/testing/scoped_code_page.h"
#ifndef _WIN32
#include "formats/wine_prefix_registry.h"
#endif

namespace tollwick {
namespace {

namespace reg = platform::reg;
using namespace std::string_literals;

using Stored = platform::RegValue;

// Stores values through the seam itself and reads back what a store holds.
void putThroughSeam(platform::Registry& registry, const std::string& path, const std::string& name,
                    uint32_t type, const std::string& data) {
  ASSERT_TRUE(registry.createKey(reg::kLocalMachine, path).ok());
  ASSERT_TRUE(registry.writeValue(reg::kLocalMachine, path, name, {type, data}).ok());
}

std::optional<Stored> readThroughSeam(platform::Registry& registry, const std::string& path,
                                      const std::string& name) {
  const auto value = registry.readValue(reg::kLocalMachine, path, name);
  if (!value.ok()) return std::nullopt;
  return *value;
}

class MemoryStore {
 public:
  platform::Registry& store() { return memory_; }
  // What a fresh look at the store finds.
  platform::Registry& reopened() { return memory_; }

 private:
  testing::MemoryRegistry memory_;
};

#ifndef _WIN32
class WinePrefixStore {
 public:
  WinePrefixStore() {
    // A name of its own: other builds may run the same test at the same time.
    std::random_device random;
    prefix_ = std::filesystem::path(::testing::TempDir()) /
              ("tollwick-registry-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(prefix_);
    store_ = wine::makeWinePrefixRegistry(platform::use<platform::FileSystem>(), location());
  }
  ~WinePrefixStore() { std::filesystem::remove_all(prefix_); }

  platform::Registry& store() { return *store_; }
  // A second store over the same file: what was written must be on disk.
  platform::Registry& reopened() {
    fresh_ = wine::makeWinePrefixRegistry(platform::use<platform::FileSystem>(), location());
    return *fresh_;
  }

 private:
  // This test's own prefix, with no wineserver.
  wine::WinePrefixLocation location() const {
    const std::string prefix = prefix_.string();
    return {[prefix] { return prefix; }, [](const std::string&) { return false; }};
  }

  std::filesystem::path prefix_;
  std::unique_ptr<platform::Registry> store_;
  std::unique_ptr<platform::Registry> fresh_;
};
#endif

constexpr const char* kKey = "SOFTWARE\\Varnholt\\Zelkor";

template <class Store>
class RegistryStoreTest : public ::testing::Test {
 protected:
  RegistryStoreTest() : installed_(store_.store()) {}

  void put(const std::string& name, uint32_t type, const std::string& data,
           const std::string& path = kKey) {
    putThroughSeam(store_.store(), path, name, type, data);
  }
  std::string read(const std::string& name, const std::string& path = kKey) {
    return regReadValue(kHkeyLocalMachine, path, name);
  }
  bool write(const std::string& name, int32_t type, const std::string& text,
             const std::string& path = kKey) {
    return regWriteValue(kHkeyLocalMachine, path, name, type, text);
  }
  std::optional<Stored> stored(const std::string& name, const std::string& path = kKey) {
    return readThroughSeam(store_.reopened(), path, name);
  }
  static std::string dword(uint32_t n) {
    return {static_cast<char>(n & 0xFF), static_cast<char>((n >> 8) & 0xFF),
            static_cast<char>((n >> 16) & 0xFF), static_cast<char>(n >> 24)};
  }

  Store store_;
  platform::Installed<platform::Registry> installed_;
};

#ifndef _WIN32
using Stores = ::testing::Types<MemoryStore, WinePrefixStore>;
#else
using Stores = ::testing::Types<MemoryStore>;
#endif
TYPED_TEST_SUITE(RegistryStoreTest, Stores);

TYPED_TEST(RegistryStoreTest, MissingKeyAndMissingValueReadAsEmpty) {
  EXPECT_EQ(this->read("WorkingDirectory"), "");
  this->put("Other", reg::kSz, "x\0"s);
  EXPECT_EQ(this->read("WorkingDirectory"), "");
  EXPECT_EQ(this->read("Other", "SOFTWARE\\Varnholt\\Missing"), "");
}

TYPED_TEST(RegistryStoreTest, TerminatedAndUnterminatedStringsReadTheSameLongestOrNot) {
  this->put("Terminated", reg::kSz, "abc\0"s, "A");
  this->put("Bare", reg::kSz, "abc", "B");
  this->put("Terminated", reg::kSz, "abc\0"s, "C");
  this->put("Bare", reg::kSz, "abc", "C");
  this->put("Longer", reg::kSz, "0123456789abcdef\0"s, "C");
  EXPECT_EQ(this->read("Terminated", "A"), "abc");
  EXPECT_EQ(this->read("Bare", "B"), "abc");
  EXPECT_EQ(this->read("Terminated", "C"), "abc");
  EXPECT_EQ(this->read("Bare", "C"), "abc");
}

TYPED_TEST(RegistryStoreTest, TrailingSpacesSurviveOnlyBeforeAStoredZero) {
  this->put("WithZero", reg::kSz, "ab  \0"s, "A");
  this->put("Without", reg::kSz, "ab  ", "B");
  this->put("WithZero", reg::kSz, "ab  \0"s, "C");
  this->put("Without", reg::kSz, "ab  ", "C");
  this->put("Longer", reg::kSz, "0123456789abcdef\0"s, "C");
  EXPECT_EQ(this->read("WithZero", "A"), "ab  ");
  EXPECT_EQ(this->read("Without", "B"), "ab");
  EXPECT_EQ(this->read("WithZero", "C"), "ab  ");
  EXPECT_EQ(this->read("Without", "C"), "ab");
}

TYPED_TEST(RegistryStoreTest, OtherTypesReadAsTheirBytesUpToTheFirstZero) {
  this->put("Multi", reg::kMultiSz, "first\0second\0\0"s);
  this->put("Expand", reg::kExpandSz, "%Root%\\x\0"s);
  this->put("Binary", reg::kBinary, "AB\0C"s);
  this->put("Empty", reg::kSz, "\0"s);
  EXPECT_EQ(this->read("Multi"), "first");
  EXPECT_EQ(this->read("Expand"), "%Root%\\x");
  EXPECT_EQ(this->read("Binary"), "AB");
  EXPECT_EQ(this->read("Empty"), "");
}

TYPED_TEST(RegistryStoreTest, DwordReadsAsUpperCaseHexadecimalDigits) {
  this->put("A", reg::kDword, this->dword(26));
  this->put("B", reg::kDword, this->dword(0xFFFFFFFFu));
  this->put("C", reg::kDword, this->dword(0));
  this->put("D", reg::kDword, this->dword(0x80000000u));
  this->put("Long", reg::kSz, "a longer value than four bytes\0"s);
  EXPECT_EQ(this->read("A"), "1A");
  EXPECT_EQ(this->read("B"), "FFFFFFFF");
  EXPECT_EQ(this->read("C"), "0");
  EXPECT_EQ(this->read("D"), "80000000");
}

TYPED_TEST(RegistryStoreTest, DwordShorterThanFourBytesReadsAsMissing) {
  this->put("Short", reg::kDword, "\x1A\x00"s);
  this->put("Long", reg::kSz, "a longer value than four bytes\0"s);
  EXPECT_EQ(this->read("Short"), "");
}

TYPED_TEST(RegistryStoreTest, KeyAndValueNamesMatchWithoutRegardToCase) {
  this->put("WorkingDirectory", reg::kSz, "C:\\Games\\Zelkor\0"s, "Software\\Varnholt\\Zelkor");
  EXPECT_EQ(this->read("workingdirectory", "SOFTWARE\\VARNHOLT\\zelkor"), "C:\\Games\\Zelkor");
}

// Letters outside ASCII fold as Wine's registry folds them, one letter at a time ("Š"
// and "š", "Ÿ" and "ÿ" in Windows-1252; "ИГРЫ" and "игры", "Я" and "я" in Windows-1251).
TYPED_TEST(RegistryStoreTest, NamesOutsideAsciiMatchWithoutRegardToCase) {
  {
    testing::ScopedCodePage western(1252);
    this->put(
        "\x9F"
        "ear",
        reg::kSz, "1999\0"s,
        "Software\\\x8A"
        "koda");
    EXPECT_EQ(this->read("\xFF"
                         "EAR",
                         "SOFTWARE\\\x9A"
                         "KODA"),
              "1999");
  }
  testing::ScopedCodePage cyrillic(1251);
  this->put("\xDF", reg::kSz, "1\0"s, "Software\\\xC8\xC3\xD0\xDB");
  EXPECT_EQ(this->read("\xFF", "SOFTWARE\\\xE8\xE3\xF0\xFB"), "1");
}

TYPED_TEST(RegistryStoreTest, WritingTextStoresExactlyItsBytes) {
  this->put("WipeSystem", reg::kSz, "T\0"s);
  EXPECT_TRUE(this->write("WipeSystem", reg::kSz, "T"));
  EXPECT_EQ(this->stored("WipeSystem"), (Stored{reg::kSz, "T"}));
  EXPECT_TRUE(this->write("Accent", reg::kSz, "caf\xE9 "));
  EXPECT_EQ(this->stored("Accent"), (Stored{reg::kSz, "caf\xE9 "}));
  EXPECT_EQ(this->read("Accent"), "caf\xE9");
}

TYPED_TEST(RegistryStoreTest, WritingDwordTextStoresItsHexadecimalValue) {
  this->put("Existing", reg::kSz, "x\0"s);
  const std::pair<std::string, uint32_t> cases[] = {
      {"1A", 26u},
      {"&H12345678", 0x123456u},
      {"FFFF", 0xFFFFu},
      {"  ff  ", 0xFFu},
      {"FFFFFFFF", 0xFFFFFFFFu},
      {"123456789", 0x12345678u},
      {"80000000", 0x80000000u},
      {"xyz", 0u},
      {"", 0u},
      {"12G4", 0x12u},
  };
  for (const auto& [text, number] : cases) {
    SCOPED_TRACE(text);
    EXPECT_TRUE(this->write("Number", reg::kDword, text));
    EXPECT_EQ(this->stored("Number"), (Stored{reg::kDword, this->dword(number)}));
  }
  EXPECT_EQ(this->read("Number"), "12");
}

TYPED_TEST(RegistryStoreTest, WritingToAMissingKeyFailsAndCreatesNothing) {
  EXPECT_FALSE(this->write("WipeSystem", reg::kSz, "F"));
  EXPECT_EQ(this->stored("WipeSystem"), std::nullopt);
  EXPECT_EQ(this->read("WipeSystem"), "");
}

TYPED_TEST(RegistryStoreTest, DeletingAValueRemovesThatValueOnly) {
  this->put("WipeSystem", reg::kSz, "T\0"s);
  this->put("WorkingDirectory", reg::kSz, "C:\\Games\0"s);
  platform::Registry& registry = this->store_.store();
  EXPECT_TRUE(registry.deleteValue(reg::kLocalMachine, kKey, "wipesystem").ok());
  EXPECT_EQ(this->stored("WipeSystem"), std::nullopt);
  EXPECT_EQ(this->stored("WorkingDirectory"), (Stored{reg::kSz, "C:\\Games\0"s}));
  EXPECT_EQ(registry.deleteValue(reg::kLocalMachine, kKey, "WipeSystem"),
            platform::Code::kNotFound);
  EXPECT_EQ(registry.deleteValue(reg::kLocalMachine, "SOFTWARE\\Missing", "WipeSystem"),
            platform::Code::kNotFound);
}

TYPED_TEST(RegistryStoreTest, OnlyLocalMachineHoldsTheSettings) {
  this->put("WorkingDirectory", reg::kSz, "D:\\Play\0"s);
  EXPECT_EQ(regReadValue(static_cast<int32_t>(0x80000001u), kKey, "WorkingDirectory"), "");
  EXPECT_FALSE(regWriteValue(static_cast<int32_t>(0x80000001u), kKey, "X", reg::kSz, "T"));
  EXPECT_EQ(this->read("WorkingDirectory"), "D:\\Play");
}

}  // namespace
}  // namespace tollwick
