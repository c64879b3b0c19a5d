#include "tools/make_install.h"

#include <filesystem>
#include <ostream>

#include "platform/code_page.h"
#include "platform/dynamic_library.h"
#include "platform/seam.h"
#include "repair/fix_character_file.h"
#include "runtime/binary_file.h"
#include "runtime/run_time_error.h"
#include "security/sarn_security.h"
#include "system/master_system_header.h"
#include "system/system_data_file.h"
#include "system/system_header.h"
#include "system/system_state.h"
#include "tools/game_file_writer.h"
#include "tools/program_path.h"

namespace tollwick::kit {
namespace {

namespace fs = std::filesystem;

bool listed(const std::set<std::string>& names, const std::string& name) {
  return names.count(name) != 0;
}

// Copies a product of the build into the installation; false when it is not built.
bool copyProduct(const fs::path& from, const fs::path& to) {
  if (!fs::exists(from)) return false;
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
  return true;
}

// Flips one byte of the protected data so that its check fails.
void damage(const std::string& path) {
  int16_t fileNumber = freeFile();
  openBinary(fileNumber, path);
  const int64_t position = lengthOfFile(fileNumber);
  if (position < SarnDataStart()) raiseError(err::kInputPastEndOfFile);
  std::array<uint8_t, 1> byte{};
  readBytes(fileNumber, position, byte);
  byte[0] ^= 0x5A;
  writeBytes(fileNumber, position, byte);
  closeFile(fileNumber);
}

std::vector<uint8_t> sampleDataContent(const std::string& name) {
  ContentBuilder builder;
  for (int line = 0; line < 16; ++line) {
    builder.text(name + " sample record " + std::to_string(line) + "\r\n");
  }
  return builder.content();
}

std::vector<SystemEntry> sampleSystems(const InstallationOptions& options) {
  std::vector<SystemEntry> systems;
  systems.push_back(
      {options.blankFirstEntry ? "   " : options.systemName, options.secondText, "Zelkor\\"});
  for (int i = 1; i < options.systems; ++i) {
    const std::string name = "Expansion " + std::to_string(i);
    systems.push_back({name, "An expansion system", name + "\\"});
  }
  return systems;
}

}  // namespace

std::string systemDirectoryOf(const std::string& root) {
  return (fs::path(root) / "System" / "Zelkor").string();
}

SystemHeaderRecord sampleHeaderRecord(const InstallationOptions& options) {
  SystemHeaderRecord record;
  record.texts = {
      options.systemName, options.secondText, options.thirdText, "Text 4",  "Text 5",  "",
      "Text 7",           "Text 8",           "Text 9",          "Text 10", "Text 11", "Text 12"};
  for (size_t i = 0; i < record.values.size(); ++i) {
    record.values[i] = static_cast<int16_t>(100 + i);
  }
  record.systemDirectory = "Zelkor\\";
  return record;
}

int32_t makeInstallation(const fs::path& root, const std::string& programDirectory,
                         const InstallationOptions& options, std::ostream& log) {
  planCharacterFile(options.characters);  // refuses impossible options before any write
  const fs::path top = fs::absolute(root);
  // The game names its files in the code page: a folder it cannot name would be left
  // half written. Refused before anything is.
  if (!programCanName(top)) {
    raiseError(err::kPathNotFound,
               "Path not found: code page " +
                   std::to_string(platform::use<platform::CodePage>().number()) + " cannot name " +
                   programPath(top));
  }
  fs::create_directories(top);
  const fs::path from(ansiToUtf16(programDirectory));
  // The products under this system's own names: the kit copies what sits beside it,
  // and the program it installs loads the security library by that name.
#if defined(_WIN32)
  const std::string program = "tollwick.exe";
#else
  const std::string program = "tollwick";
#endif
#if !defined(_WIN32)
  // The program's modules (its message boxes as windows, its sounds) lie beside it, in
  // a build beside the kit and one folder up in the package; a build without the
  // desktop's libraries has none.
  for (const char* module : {"tollwick-dialog-gtk.so", "tollwick-sound-pulse.so"}) {
    if (!copyProduct(from / module, top / module)) {
      copyProduct(from.parent_path() / module, top / module);
    }
  }
#endif
  const std::string security = std::string("ZELKORSEC") + platform::kSharedLibrarySuffix;
  // The program lies beside the kit in a build, and one folder up in the packages, whose
  // kit sits apart with the stand-in libraries.
  if (!copyProduct(from / program, top / program) &&
      !copyProduct(from.parent_path() / program, top / program)) {
    log << "warning: " << (from / program).string() << " is not built yet; the installation has no "
        << program << "\n";
  }
  if (!copyProduct(from / security, top / security)) {
    raiseError(err::kFileNotFound, "File not found: " + (from / security).string());
  }
  if (!copyProduct(from / options.resourceLibrary, top / "Zelkor.dll")) {
    // The localised strings were asked for: without them the installation is not one.
    if (options.resourceLibrary != "Zelkor.dll") {
      raiseError(err::kFileNotFound,
                 "File not found: " + programPath(from / options.resourceLibrary));
    }
    log << "warning: " << (from / "Zelkor.dll").string()
        << " is not built yet; the installation has no game strings\n";
  }
  return writeGameFiles(top, options);
}

int32_t writeGameFiles(const fs::path& root, const InstallationOptions& options) {
  const CharacterFilePlan plan = planCharacterFile(options.characters);
  const fs::path systemRoot = fs::absolute(root) / "System";
  const fs::path system = systemRoot / "Zelkor";
  fs::create_directories(system);

  // The system's files are protected with the key text of this record.
  systemState().header = sampleHeaderRecord(options);
  const auto write = [&](const fs::path& directory, const std::string& name,
                         const std::vector<uint8_t>& content, int32_t signature, bool fixedKey) {
    if (listed(options.omit, name)) return;
    // The runtime takes program paths: texts of the code page, not the host's.
    const std::string path = programPath(directory / name);
    writeProtectedFile(path, content, signature, fixedKey);
    if (listed(options.damaged, name)) damage(path);
  };

  write(systemRoot, kMasterSystemHeaderName,
        masterHeaderContent("Zelkor master system list", sampleSystems(options)), 0, true);
  write(system, kSystemHeaderName,
        systemHeaderContent(systemState().header, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), 0, true);
  write(system, kSystemDataFileName, systemDataContent(options.signatureText), 0, false);

  const int32_t signature = signatureOfText(options.signatureText);
  const int32_t foreign = signatureOfText(options.signatureText + " (another system)");
  for (const char* name : kSystemDataFiles) {
    int32_t carried = signature;
    if (listed(options.unsignedFiles, name)) carried = 0;
    if (listed(options.foreignSignature, name)) carried = foreign;
    if (std::string(name) != kCharacterFileName) {
      write(system, name, sampleDataContent(name), carried, false);
    } else if (!listed(options.omit, name)) {
      const std::string path = programPath(system / name);
      writeCharacterFile(path, plan, carried, options.characters.seed);
      if (listed(options.damaged, name)) damage(path);
    }
  }
  return signature;
}

}  // namespace tollwick::kit
