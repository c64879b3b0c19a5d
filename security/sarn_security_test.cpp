// The protected-file cycle on real files with the real security library.

#include "security/sarn_security.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <thread>
#include <utility>

#include "platform/seam.h"
#include "platform/testing/forwarding_fs.h"
#include "platform/testing/scoped_code_page.h"
#include "runtime/binary_file.h"
#include "runtime/run_time_error.h"
#include "security/file_key.h"
#include "security/security_library.h"
#include "security/testing/protected_file_fixture.h"
#include "security/text_check.h"

namespace tollwick {
namespace {

using testing::bytesOf;
using ::testing::ElementsAre;
using testing::patternedData;

class SarnSecurityTest : public testing::ProtectedFileTest {
 protected:
  // Replaces the 4 stored bytes of header field `index` (0 KeyCheck, 1 DataCheck,
  // 2 Signature) with `value` mangled as the file's key and `seed` would mangle it.
  void storeField(const std::string& name, int index, int32_t value, int32_t seed) {
    auto& library = platform::use<SecurityLibrary>();
    const int32_t key = SarnGetFileKey(keyText(false));
    std::array<uint8_t, 4> field{};
    for (size_t i = 0; i < 4; ++i) {
      field[i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
    }
    library.mangle(field.data(), 4, seed, key);
    library.freeKey(key);
    std::string raw = readRaw(name);
    for (size_t i = 0; i < 4; ++i)
      raw[4 * static_cast<size_t>(index) + i] = static_cast<char>(field[i]);
    writeRaw(name, raw);
  }

  // Unprotecting `name` returns False, closes the file and leaves it unchanged.
  void expectRefused(const std::string& name, int32_t expectedSignature = 0,
                     bool useFixedKey = false) {
    const std::string before = readRaw(name);
    int16_t file = freeFile();
    openBinary(file, path(name));
    EXPECT_FALSE(SarnDecryptFile(file, keyText(useFixedKey), expectedSignature));
    EXPECT_FALSE(isOpen(file));
    EXPECT_EQ(readRaw(name), before);
    EXPECT_TRUE(dialog_.boxes.empty()) << "a refusal shows no message";
  }
};

TEST_F(SarnSecurityTest, ProtectThenUnprotectGivesBackTheDataForEverySizeAndKey) {
  const size_t large = (size_t{8} << 20) + 5;
  for (bool fixedKey : {false, true}) {
    for (size_t size : {size_t{0}, size_t{1}, size_t{3}, size_t{13}, size_t{4097}, large}) {
      if (fixedKey && size == large) continue;  // one large file is enough
      const std::string name = "F" + std::to_string(size) + (fixedKey ? "fixed" : "system");
      const std::string plain = patternedData(size, static_cast<uint32_t>(size));
      protect(name, plain, 0, fixedKey);
      const std::string stored = readRaw(name);
      ASSERT_EQ(stored.size(), size + 12) << name;
      if (size >= 13) {
        EXPECT_NE(stored.substr(12), plain) << name << " stored plain";
      }
      EXPECT_EQ(unprotect(name, 0, fixedKey), plain) << name;
      EXPECT_EQ(readRaw(name), stored) << name << ": an unprotect alone writes nothing";
    }
  }
  EXPECT_TRUE(dialog_.boxes.empty());
}

TEST_F(SarnSecurityTest, RewrittenDataIsProtectedAgainInPlace) {
  protect("A.DED", "first contents");
  int16_t file = freeFile();
  openBinary(file, path("A.DED"));
  ASSERT_TRUE(SarnDecryptFile(file, keyText(false)));
  EXPECT_EQ(readText(file, SarnDataStart(), 5), "first");
  writeText(file, SarnDataStart(), "SECOND contents, and longer");
  ASSERT_TRUE(SarnEncryptFile(file, keyText(false)));
  closeFile(file);
  EXPECT_EQ(unprotect("A.DED"), "SECOND contents, and longer");
}

// Unprotect then protect with nothing changed: the file is not written. Anything that
// makes the stored bytes differ is: another signature, or a KeyCheck of 0 that the
// protect replaces by the key text's check.
TEST_F(SarnSecurityTest, AFileProtectedAgainUnchangedIsNotRewritten) {
  const auto cycle = [&](const std::string& name, int32_t signature) {
    const std::string before = readRaw(name);
    testing::CommitCountingFs counting;
    platform::Installed<platform::FileSystem> installed(counting);
    int16_t file = freeFile();
    openBinary(file, path(name));
    EXPECT_TRUE(SarnDecryptFile(file, keyText(false)));
    EXPECT_TRUE(SarnEncryptFile(file, keyText(false), signature));
    closeFile(file);
    const bool kept = counting.commits == 0;
    EXPECT_EQ(kept, readRaw(name) == before) << name;
    return kept;
  };
  protect("A.DED", patternedData(5000), 0x55);
  EXPECT_TRUE(cycle("A.DED", 0x55));
  EXPECT_FALSE(cycle("A.DED", 0x66));
  EXPECT_EQ(unprotect("A.DED", 0x66), patternedData(5000));

  protect("Zero.DED", "any key");
  storeField("Zero.DED", 0, 0, 0);
  EXPECT_FALSE(cycle("Zero.DED", 0));
  EXPECT_EQ(unprotect("Zero.DED"), "any key");
}

// What an unprotect remembers about a file never serves another file opened on the same
// number, nor the same file once its data was rewritten.
TEST_F(SarnSecurityTest, ProtectComputesTheCheckOfDataItDidNotUnprotect) {
  protect("A.DED", "aaaa data");
  protect("B.DED", "bbbb data");
  int16_t file = freeFile();
  openBinary(file, path("A.DED"));
  ASSERT_TRUE(SarnDecryptFile(file, keyText(false)));
  closeFile(file);  // left unprotected: not written
  openBinary(file, path("B.DED"));
  ASSERT_TRUE(
      SarnEncryptFile(file, keyText(false)));  // B's protected bytes taken as its plain data
  closeFile(file);
  openBinary(file, path("B.DED"));
  ASSERT_TRUE(SarnDecryptFile(file, keyText(false)));
  ASSERT_TRUE(SarnEncryptFile(file, keyText(false)));
  closeFile(file);
  ASSERT_EQ(unprotect("A.DED"), "aaaa data");

  openBinary(file, path("A.DED"));
  ASSERT_TRUE(SarnDecryptFile(file, keyText(false)));
  writeText(file, SarnDataStart(), "AAAA");
  ASSERT_TRUE(SarnEncryptFile(file, keyText(false)));
  closeFile(file);
  EXPECT_EQ(unprotect("A.DED"), "AAAA data");
}

// A protect that would put back the bytes the unprotect started from leaves the data
// plain and owes its transform: unprotecting the image again costs no pass, while every
// raw read sees the stored bytes, a write changes the stored bytes, and a wrong key is
// refused as ever.
TEST_F(SarnSecurityTest, AnUnchangedProtectOwesItsTransformUntilTheStoredBytesAreNeeded) {
  testing::CountingLibrary counting(platform::use<SecurityLibrary>());
  const int32_t length = 5000;
  protect("A.DED", patternedData(length), 7);
  const std::string stored = readRaw("A.DED");
  const auto passes = [&] {
    return std::pair(counting.transforms[length], counting.checks[length]);
  };
  counting.transforms.clear();
  counting.checks.clear();

  int16_t file = freeFile();
  openBinary(file, path("A.DED"));
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(SarnDecryptFile(file, keyText(false), 7));
    EXPECT_EQ(readText(file, SarnDataStart(), length), patternedData(length));
    ASSERT_TRUE(SarnEncryptFile(file, keyText(false), 7));
  }
  EXPECT_EQ(passes(), std::pair(1, 1));
  EXPECT_EQ(readText(file, 1, 12), stored.substr(0, 12));
  EXPECT_EQ(passes(), std::pair(1, 1)) << "the header is stored as it is";
  EXPECT_EQ(readText(file, 1, static_cast<int64_t>(stored.size())), stored);
  EXPECT_EQ(passes(), std::pair(2, 1));
  closeFile(file);

  openBinary(file, path("A.DED"));
  ASSERT_TRUE(SarnDecryptFile(file, keyText(false), 7));
  ASSERT_TRUE(SarnEncryptFile(file, keyText(false), 7));
  writeText(file, 113, "X");
  closeFile(file);
  std::string expected = stored;
  expected[112] = 'X';
  EXPECT_EQ(readRaw("A.DED"), expected);

  writeRaw("A.DED", stored);
  openBinary(file, path("A.DED"));
  ASSERT_TRUE(SarnDecryptFile(file, keyText(false), 7));
  ASSERT_TRUE(SarnEncryptFile(file, keyText(false), 7));
  setKeyTexts("Another", "Second text", "Third text");
  EXPECT_FALSE(SarnDecryptFile(file, keyText(false), 7));
  EXPECT_FALSE(isOpen(file));
  EXPECT_EQ(readRaw("A.DED"), stored);
  EXPECT_TRUE(dialog_.boxes.empty());
}

// A large image kept after an unchanged close still owes its protect: the next open
// unprotects it without a pass, and its stored bytes are still the file's.
TEST_F(SarnSecurityTest, AnImageKeptAfterAnUnchangedCloseStillOwesItsProtect) {
  testing::CountingLibrary counting(platform::use<SecurityLibrary>());
  const int32_t length = 3 << 20;
  protect("A.DED", patternedData(length), 7);
  const std::string stored = readRaw("A.DED");
  // The file system vouches for a file's identity once its last change lies behind it.
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  counting.transforms.clear();
  counting.checks.clear();
  int16_t file = freeFile();
  for (int round = 0; round < 2; ++round) {
    openBinary(file, path("A.DED"));
    ASSERT_TRUE(SarnDecryptFile(file, keyText(false), 7));
    ASSERT_TRUE(SarnEncryptFile(file, keyText(false), 7));
    closeFile(file);
  }
  EXPECT_EQ(std::pair(counting.transforms[length], counting.checks[length]), std::pair(1, 1));
  openBinary(file, path("A.DED"));
  EXPECT_EQ(readText(file, 1, static_cast<int64_t>(stored.size())), stored);
  closeFile(file);
  EXPECT_EQ(readRaw("A.DED"), stored);
}

// A library whose key release fails once, after the transform it closes has been made.
class KeyReleaseFailsOnce : public SecurityLibrary {
 public:
  explicit KeyReleaseFailsOnce(SecurityLibrary& real) : real_(real), installed_(*this) {}
  int32_t verify(const void* buffer, int32_t length, int32_t seed) override {
    return real_.verify(buffer, length, seed);
  }
  int32_t mangle(void* buffer, int32_t length, int32_t seed, int32_t key) override {
    return real_.mangle(buffer, length, seed, key);
  }
  int32_t makeKey(int32_t check) override { return real_.makeKey(check); }
  int32_t freeKey(int32_t key) override {
    if (!failed_) {
      failed_ = true;
      raiseError(453, "Can't find DLL entry point ZelkorSecFreeKey in ZELKORSEC.so");
    }
    return real_.freeKey(key);
  }

 private:
  SecurityLibrary& real_;
  platform::Installed<SecurityLibrary> installed_;
  bool failed_ = false;
};

TEST_F(SarnSecurityTest, AnOwedProtectWhoseKeyReleaseFailsIsNotMadeTwice) {
  protect("A.DED", patternedData(5000), 7);
  const std::string stored = readRaw("A.DED");
  int16_t file = freeFile();
  openBinary(file, path("A.DED"));
  ASSERT_TRUE(SarnDecryptFile(file, keyText(false), 7));
  ASSERT_TRUE(SarnEncryptFile(file, keyText(false), 7));
  {
    KeyReleaseFailsOnce library(platform::use<SecurityLibrary>());
    EXPECT_THROW(readText(file, 1, static_cast<int64_t>(stored.size())), RunTimeError);
    EXPECT_TRUE(readText(file, 1, static_cast<int64_t>(stored.size())) == stored);
  }
  closeFile(file);
  EXPECT_TRUE(readRaw("A.DED") == stored);
}

// Whatever uses the stored bytes of an image that owes its protect gets them: a read of
// the whole file, and reads of bytes and of a number at the first data byte. A close of
// an image changed and changed back compares the stored bytes, not the plain data: the
// file stays as it was and still unprotects.
TEST_F(SarnSecurityTest, AnOwedProtectIsPaidBeforeAnyUseOfTheStoredBytes) {
  protect("A.DED", patternedData(5000), 7);
  const std::string stored = readRaw("A.DED");
  const auto start = static_cast<size_t>(SarnDataStart() - 1);
  int16_t file = freeFile();
  openBinary(file, path("A.DED"));
  const auto owe = [&] {
    ASSERT_TRUE(SarnDecryptFile(file, keyText(false), 7));
    ASSERT_TRUE(SarnEncryptFile(file, keyText(false), 7));
  };
  owe();
  std::vector<uint8_t> whole(stored.size());
  readBytes(file, 1, whole);
  EXPECT_TRUE(std::string(whole.begin(), whole.end()) == stored) << "the whole file";
  owe();
  std::array<uint8_t, 4> first{};
  readBytes(file, SarnDataStart(), first);
  EXPECT_EQ(std::string(first.begin(), first.end()), stored.substr(start, 4)) << "bytes";
  owe();
  uint32_t number = 0;
  for (size_t i = 4; i-- > 0;) number = number << 8 | static_cast<uint8_t>(stored[start + i]);
  EXPECT_EQ(readInt32(file, SarnDataStart()), static_cast<int32_t>(number)) << "a number";
  closeFile(file);

  openBinary(file, path("A.DED"));
  writeText(file, SarnDataStart(), "X");
  writeText(file, SarnDataStart(), stored.substr(start, 1));
  owe();
  closeFile(file);
  EXPECT_TRUE(readRaw("A.DED") == stored);
  EXPECT_EQ(unprotect("A.DED", 7), patternedData(5000));
}

TEST_F(SarnSecurityTest, AProtectAfterARealChangeTransformsAndChecksTheData) {
  testing::CountingLibrary counting(platform::use<SecurityLibrary>());
  const int32_t length = 5000;
  protect("A.DED", patternedData(length), 7);
  int16_t file = freeFile();
  openBinary(file, path("A.DED"));
  ASSERT_TRUE(SarnDecryptFile(file, keyText(false), 7));
  writeText(file, SarnDataStart(), "changed");
  const int transforms = counting.transforms[length];
  const int checks = counting.checks[length];
  ASSERT_TRUE(SarnEncryptFile(file, keyText(false), 7));
  EXPECT_EQ(counting.transforms[length], transforms + 1);
  EXPECT_EQ(counting.checks[length], checks + 1);
  closeFile(file);
  EXPECT_EQ(unprotect("A.DED", 7), "changed" + patternedData(length).substr(7));
}

TEST_F(SarnSecurityTest, TheFirstPlainByteIsAtDataStart) {
  EXPECT_EQ(SarnDataStart(), 13);
  protect("A.DED", "Zxy");
  int16_t file = freeFile();
  openBinary(file, path("A.DED"));
  ASSERT_TRUE(SarnDecryptFile(file, keyText(false)));
  EXPECT_EQ(readText(file, 13, 1), "Z");
  closeFile(file);
}

TEST_F(SarnSecurityTest, AWrongKeyTextIsRefusedAndTheFileKeptAsItWas) {
  protect("A.DED", "secret data of the system");
  setKeyTexts("Another", "Second text", "Third text");
  expectRefused("A.DED");
}

TEST_F(SarnSecurityTest, FixedKeyFilesNeedTheFixedKeyAndSystemFilesTheSystemKey) {
  protect("Fixed.MSF", "master header", 0, true);
  protect("System.DED", "system data", 0, false);
  expectRefused("Fixed.MSF", 0, false);
  expectRefused("System.DED", 0, true);
  EXPECT_EQ(unprotect("Fixed.MSF", 0, true), "master header");
  EXPECT_EQ(unprotect("System.DED", 0, false), "system data");
}

TEST_F(SarnSecurityTest, TheSystemKeyTextIsTextsThreeOneTwoJoined) {
  EXPECT_EQ(keyText(false), "Third textZelkorSecond text");
  EXPECT_EQ(fixedKeyText(), "640271");
  protect("A.DED", "data");
  // Other texts, the same joined key text.
  setKeyTexts("ZelkorSec", "ond text", "Third text");
  EXPECT_EQ(unprotect("A.DED"), "data");
  setKeyTexts("Second text", "Zelkor", "Third text");
  expectRefused("A.DED");
}

TEST_F(SarnSecurityTest, OnlyTheFirstHalfOfTheKeyTextCounts) {
  // The library receives the UTF-16 form with the number of characters as its length:
  // a stored format, kept as it is.
  setKeyTexts("", "", "ABCDEFGH");
  protect("A.DED", "data");
  setKeyTexts("", "", "ABCDwxyz");
  EXPECT_EQ(unprotect("A.DED"), "data");
  setKeyTexts("", "", "ABCwDxyz");
  expectRefused("A.DED");
}

TEST_F(SarnSecurityTest, AKeyCheckOfZeroSkipsTheKeyTextComparison) {
  protect("Zero.DED", "accepted without the key text check");
  storeField("Zero.DED", 0, 0, 0);
  EXPECT_EQ(unprotect("Zero.DED"), "accepted without the key text check");

  protect("Other.DED", "refused");
  storeField("Other.DED", 0, checkValueOfText(keyText(false), 0) ^ 1, 0);
  expectRefused("Other.DED");
}

TEST_F(SarnSecurityTest, SignatureRules) {
  protect("Signed.DED", "signed", 0x1234567);
  protect("Unsigned.DED", "unsigned", 0);
  EXPECT_EQ(unprotect("Signed.DED", 0), "signed") << "expected 0 accepts any";
  EXPECT_EQ(unprotect("Signed.DED", 0x1234567), "signed") << "equal";
  EXPECT_EQ(unprotect("Unsigned.DED", 99), "unsigned") << "stored 0 is accepted";
  expectRefused("Signed.DED", 0x7654321);
  expectRefused("Signed.DED", -1);
}

TEST_F(SarnSecurityTest, DamagedDataOrChecksAreRefusedAndTheFileKeptAsItWas) {
  protect("A.DED", patternedData(1000));
  std::string raw = readRaw("A.DED");
  raw[500] = static_cast<char>(raw[500] ^ 0x10);
  writeRaw("Data.DED", raw);
  expectRefused("Data.DED");

  raw = readRaw("A.DED");
  raw[6] = static_cast<char>(raw[6] ^ 0x01);
  writeRaw("Check.DED", raw);
  expectRefused("Check.DED");

  raw = readRaw("A.DED");
  writeRaw("Cut.DED", raw.substr(0, raw.size() - 1));
  expectRefused("Cut.DED");
}

TEST_F(SarnSecurityTest, FilesShorterThanTheHeaderAreRefusedWithoutReadingPastTheirEnd) {
  for (size_t size = 0; size < 12; ++size) {
    const std::string name = "Short" + std::to_string(size);
    writeRaw(name, std::string(size, '\x5A'));
    expectRefused(name);
  }
  // A missing file opens empty, is refused, and is not created by the close.
  int16_t file = freeFile();
  openBinary(file, path("Missing.DED"));
  EXPECT_FALSE(SarnDecryptFile(file, keyText(false)));
  EXPECT_FALSE(isOpen(file));
  EXPECT_EQ(readRaw("Missing.DED"), "");
}

TEST_F(SarnSecurityTest, AHeaderWithEmptyDataIsAProtectedFileOfTwelveBytes) {
  int16_t file = freeFile();
  openBinary(file, path("New.DED"));
  ASSERT_TRUE(SarnEncryptFile(file, keyText(false), 5));
  closeFile(file);
  EXPECT_EQ(readRaw("New.DED").size(), 12u);
  EXPECT_EQ(unprotect("New.DED", 5), "");
  expectRefused("New.DED", 6);
}

TEST_F(SarnSecurityTest, KeyHandlesAreReleasedOnEveryPath) {
  testing::CountingLibrary counting(platform::use<SecurityLibrary>());
  protect("A.DED", "data", 7);
  writeRaw("Short.DED", "abc");
  unprotect("A.DED", 7);        // success
  unprotect("A.DED", 8);        // foreign signature
  unprotect("A.DED", 7, true);  // wrong key
  unprotect("Short.DED");       // too short
  int16_t notOpen = 200;
  SarnDecryptFile(notOpen, keyText(false));  // run-time error
  SarnEncryptFile(notOpen, keyText(false));
  EXPECT_EQ(counting.made, 7);
  EXPECT_TRUE(counting.live.empty());
}

TEST_F(SarnSecurityTest, RunTimeErrorsAreReportedOnceWithTheRoutineName) {
  int16_t notOpen = 200;
  EXPECT_FALSE(SarnDecryptFile(notOpen, keyText(false)));
  EXPECT_FALSE(SarnEncryptFile(notOpen, keyText(false)));
  EXPECT_THAT(dialog_.prompts(), ElementsAre("Error 'Bad file name or number' occurred in "
                                             "(Tollwick)modZelkorSecurity:SarnDecryptFile!",
                                             "Error 'Bad file name or number' occurred in "
                                             "(Tollwick)modZelkorSecurity:SarnEncryptFile!"));
}

// The library's file name on this platform, as the errors name it.
#ifdef _WIN32
#define ZELKORSEC_FILE "ZELKORSEC.dll"
#else
#define ZELKORSEC_FILE "ZELKORSEC.so"
#endif

class MissingLibraryTest : public SarnSecurityTest {
 protected:
  // A library facility of its own, loading from `directory` on first use.
  void useLibraryFrom(const std::string& directory) {
    process_.directory = directory;
    library_ = platform::makeSystemFacility<SecurityLibrary>();
    installed_.emplace(*library_);
  }

  std::unique_ptr<SecurityLibrary> library_;
  std::optional<platform::Installed<SecurityLibrary>> installed_;
};

TEST_F(MissingLibraryTest, UnprotectReportsItAndLeavesTheFileOpen) {
  protect("A.DED", "data");
  useLibraryFrom(path(""));
  int16_t file = freeFile();
  openBinary(file, path("A.DED"));
  EXPECT_FALSE(SarnDecryptFile(file, keyText(false)));
  EXPECT_TRUE(isOpen(file));
  EXPECT_THAT(dialog_.prompts(),
              ElementsAre("Error 'File not found: " ZELKORSEC_FILE "' occurred in "
                          "(Tollwick)modZelkorSecurity:SarnDecryptFile!"));
}

TEST_F(MissingLibraryTest, ProtectReportsItAndClosesTheFileWithoutStoringIt) {
  writeRaw("Plain.DED", std::string(12, '\0') + "plain data never to be stored as it is");
  const std::string before = readRaw("Plain.DED");
  useLibraryFrom(path(""));
  int16_t file = freeFile();
  openBinary(file, path("Plain.DED"));
  writeText(file, 13, "PLAIN");
  EXPECT_FALSE(SarnEncryptFile(file, keyText(false)));
  EXPECT_FALSE(isOpen(file));
  EXPECT_EQ(readRaw("Plain.DED"), before);
  EXPECT_THAT(dialog_.prompts(),
              ElementsAre("Error 'File not found: " ZELKORSEC_FILE "' occurred in "
                          "(Tollwick)modZelkorSecurity:SarnEncryptFile!"));
}

TEST_F(MissingLibraryTest, AMissingExportIsReportedByName) {
  protect("A.DED", "data");
  useLibraryFrom(TOLLWICK_BINARY_DIR "/security/partial");
  int16_t file = freeFile();
  openBinary(file, path("A.DED"));
  EXPECT_FALSE(SarnDecryptFile(file, keyText(false)));
  EXPECT_THAT(
      dialog_.prompts(),
      ElementsAre("Error 'Can't find DLL entry point ZelkorSecMangle in " ZELKORSEC_FILE "' "
                  "occurred in (Tollwick)modZelkorSecurity:SarnDecryptFile!"));
}

TEST_F(MissingLibraryTest, TheLibraryIsLoadedOnFirstUseAndALaterCallFindsIt) {
  useLibraryFrom(path(""));
  EXPECT_THROW(library_->makeKey(1), RunTimeError);
  process_.directory = testing::kBuiltApplicationDirectory;
  const int32_t key = library_->makeKey(1);
  EXPECT_GT(key, 0);
  EXPECT_EQ(library_->freeKey(key), 1);
}

TEST_F(SarnSecurityTest, TheSignatureOfATextCoversTheFirstLBytesOfItsUtf16Form) {
  tollwick::testing::ScopedCodePage western(1252);
  auto& library = platform::use<SecurityLibrary>();
  const std::string utf16 = bytesOf({'A', 0, 'B', 0});
  EXPECT_EQ(signatureOfText("ABCD"), library.verify(utf16.data(), 4, FixedKeySeed));
  EXPECT_EQ(signatureOfText("ABCD"), signatureOfText("ABxy"));
  EXPECT_NE(signatureOfText("ABCD"), signatureOfText("AxCD"));
  // Windows-1252 0x80 is U+20AC: its low byte AC comes first.
  EXPECT_EQ(signatureOfText("\x80"), library.verify("\xAC", 1, FixedKeySeed));
  EXPECT_EQ(signatureOfText(""), library.verify("", 0, FixedKeySeed));
}

}  // namespace
}  // namespace tollwick
