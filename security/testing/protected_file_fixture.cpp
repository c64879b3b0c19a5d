#include "security/testing/protected_file_fixture.h"

#include <filesystem>
#include <fstream>
#include <random>

#include "runtime/binary_file.h"
#include "security/sarn_security.h"

namespace tollwick::testing {

std::string bytesOf(std::initializer_list<int> values) {
  std::string bytes;
  for (int value : values) bytes.push_back(static_cast<char>(value));
  return bytes;
}

std::string patternedData(size_t size, uint32_t salt) {
  std::string bytes(size, '\0');
  uint32_t state = salt;
  for (auto& b : bytes) {
    state = state * 1664525u + 1013904223u;
    b = static_cast<char>(state >> 24);
  }
  return bytes;
}

int32_t CountingLibrary::verify(const void* buffer, int32_t length, int32_t seed) {
  ++checks[length];
  return real_.verify(buffer, length, seed);
}

int32_t CountingLibrary::mangle(void* buffer, int32_t length, int32_t seed, int32_t key) {
  ++transforms[length];
  return real_.mangle(buffer, length, seed, key);
}

int32_t CountingLibrary::makeKey(int32_t check) {
  const int32_t key = real_.makeKey(check);
  ++made;
  live.insert(key);
  return key;
}

int32_t CountingLibrary::freeKey(int32_t key) {
  const auto it = live.find(key);
  if (it != live.end()) live.erase(it);
  return real_.freeKey(key);
}

ProtectedFileTest::ProtectedFileTest() {
  process_.directory = kBuiltApplicationDirectory;
  std::random_device random;
  const auto base = std::filesystem::temp_directory_path() /
                    ("tollwick-security-" + std::to_string(random()) + std::to_string(random()));
  std::filesystem::create_directories(base);
  directory_ = base.string();
  setKeyTexts("Zelkor", "Second text", "Third text");
}

ProtectedFileTest::~ProtectedFileTest() {
  abandonAllFiles();
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
}

std::string ProtectedFileTest::path(const std::string& name) const {
  return directory_ + "/" + name;
}

void ProtectedFileTest::writeRaw(const std::string& name, const std::string& bytes) const {
  std::ofstream out(path(name), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return "";
  std::string bytes(static_cast<size_t>(in.tellg()), '\0');
  in.seekg(0);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

std::string ProtectedFileTest::readRaw(const std::string& name) const {
  return readWholeFile(path(name));
}

void ProtectedFileTest::protect(const std::string& name, const std::string& plain,
                                int32_t signature, bool useFixedKey) {
  int16_t file = freeFile();
  openBinary(file, path(name));
  writeText(file, 1, std::string(12, '\0') + plain);
  ASSERT_TRUE(SarnEncryptFile(file, keyText(useFixedKey), signature));
  closeFile(file);
}

std::optional<std::string> ProtectedFileTest::unprotect(const std::string& name,
                                                        int32_t expectedSignature,
                                                        bool useFixedKey) {
  int16_t file = freeFile();
  openBinary(file, path(name));
  if (!SarnDecryptFile(file, keyText(useFixedKey), expectedSignature)) return std::nullopt;
  const int64_t length = lengthOfFile(file);
  std::string plain = readText(file, SarnDataStart(), length - 12);
  closeFile(file);
  return plain;
}

std::string ProtectedFileTest::keyText(bool useFixedKey) const {
  return useFixedKey ? fixedKeyText() : systemKeyText_;
}

void ProtectedFileTest::setKeyTexts(const std::string& first, const std::string& second,
                                    const std::string& third) {
  systemKeyText_ = third + first + second;
}

}  // namespace tollwick::testing
