#include "tools/testing/installation_fixture.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>

#include "base/bytes.h"
#include "runtime/binary_file.h"
#include "security/sarn_security.h"
#include "settings/installation_settings.h"
#include "system/system_state.h"

namespace tollwick::kit {
namespace {

namespace fs = std::filesystem;

}  // namespace

InstallationFixture::InstallationFixture()
    : strings_(testing::numberedGameStrings()), root_(scratch_.path().string()) {
  process_.directory = TOLLWICK_BINARY_DIR "/bin";
  resetSystemState();
  resetInstallationSettings();
  installationSettings().systemRootDirectory = root_ + "/System\\";
  installationSettings().currentSystemDirectory = "Zelkor\\";
}

InstallationFixture::~InstallationFixture() {
  abandonAllFiles();
  resetSystemState();
  resetInstallationSettings();
}

int32_t InstallationFixture::install(const InstallationOptions& options) {
  const int32_t signature = writeGameFiles(root_, options);
  return signature;
}

std::optional<std::vector<uint8_t>> InstallationFixture::fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void InstallationFixture::writeHostFile(const std::string& path,
                                        const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

std::optional<std::vector<uint8_t>> InstallationFixture::plainImage(const std::string& path,
                                                                    int32_t expectedSignature,
                                                                    bool useFixedKey) {
  int16_t fileNumber = freeFile();
  openBinary(fileNumber, path);
  if (!SarnDecryptFile(fileNumber, loadedKeyText(useFixedKey), expectedSignature)) {
    if (isOpen(fileNumber)) closeFile(fileNumber);
    return std::nullopt;
  }
  const auto image = fileImage(fileNumber);
  std::vector<uint8_t> plain(image.begin(), image.end());
  abandonAllFiles();
  return plain;
}

bool InstallationFixture::carriesSignature(const std::string& path, int32_t signature) {
  const int32_t other = signature == 0 ? 0x2468ACE1 : signature ^ 0x5A5A5A5A;
  const bool acceptsOther = plainImage(path, other).has_value();
  if (signature == 0) return acceptsOther;
  return plainImage(path, signature).has_value() && !acceptsOther;
}

int16_t integerAt(const std::vector<uint8_t>& image, int64_t position) {
  const auto i = static_cast<size_t>(position - 1);
  (void)image.at(i + 1);  // throws past the end
  return static_cast<int16_t>(loadLe16(std::span<const uint8_t>(image).subspan(i).first<2>()));
}

int32_t longAt(const std::vector<uint8_t>& image, int64_t position) {
  const auto i = static_cast<size_t>(position - 1);
  (void)image.at(i + 3);  // throws past the end
  return static_cast<int32_t>(loadLe32(std::span<const uint8_t>(image).subspan(i).first<4>()));
}

}  // namespace tollwick::kit
