#include "startup/game_folder.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>

#include "base/text.h"
#include "formats/pe/pe_image.h"
#include "platform/ansi_text.h"
#include "platform/dialog.h"
#include "platform/dynamic_library.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/seam.h"
#include "platform/wine.h"
#include "runtime/message_box.h"
#include "settings/read_registry.h"
#include "settings/registry_values.h"
#include "system/master_system_header.h"

namespace tollwick {
namespace {

using platform::EntryKind;

constexpr const char* kResourceLibrary = "Zelkor.dll";
constexpr const char* kWindowsSecurityLibrary = "ZELKORSEC.dll";
constexpr const char* kWindowsProgram = "tollwick.exe";
constexpr uint16_t kMachineI386 = 0x014C;

std::string securityLibrary() { return std::string("ZELKORSEC") + platform::kSharedLibrarySuffix; }

std::string inFolder(const std::string& folder, const std::string& name) {
  return folder + "\\" + name;
}

bool isA(EntryKind kind, const std::string& path) {
  const platform::Result<platform::DirEntry> entry =
      platform::use<platform::FileSystem>().lookup(path);
  return entry.ok() && entry->kind == kind;
}

bool holds(const std::string& folder, const std::string& name) {
  return isA(EntryKind::kNormalFile, inFolder(folder, name));
}

// A game's folder holds its resource library or a security library (this system's own
// kind, or the game's Windows one).
bool holdsAGameLibrary(const std::string& folder) {
  return holds(folder, kResourceLibrary) || holds(folder, securityLibrary()) ||
         holds(folder, kWindowsSecurityLibrary);
}

bool isA32BitWindowsLibrary(const std::string& path) {
  platform::Result<platform::ByteBuffer> bytes =
      platform::use<platform::FileSystem>().readFile(path);
  if (!bytes.ok()) return false;
  const auto image = pe::PeImage::parse(std::move(bytes).value());
  return image.ok() && !image->isPe32Plus() && image->machine() == kMachineI386;
}

// Ends the run before anything is touched, after a box that says why.
int refuse(const std::string& prompt) {
  noteFailureReported();
  sysMessageBox(prompt, platform::box::kExclamation);
  return 2;
}

const char* const kGiveTheGameFolder =
    "Start Tollwick with the folder where Zelkor is installed, the one that holds the "
    "game's Zelkor.dll and ZELKORSEC.dll:\n\n    tollwick GAME_FOLDER";

// The folder `folder` (named by `namedBy`) if it can be the application directory.
std::optional<int> useFolder(const std::string& folder, const std::string& namedBy) {
  if (!isA(EntryKind::kDirectory, folder)) {
    return refuse(namedBy + " \"" + folder + "\" does not exist.\n\n" + kGiveTheGameFolder);
  }
  if (!holdsAGameLibrary(folder)) {
    return refuse(namedBy + " \"" + folder +
                  "\" holds neither Zelkor.dll nor ZELKORSEC.dll: Zelkor is not installed "
                  "there.\n\n" +
                  kGiveTheGameFolder);
  }
  platform::use<platform::Process>().chooseApplicationDirectory(folder);
  return std::nullopt;
}

}  // namespace

std::optional<int> chooseGameFolder(const std::vector<std::string>& arguments) {
  auto& process = platform::use<platform::Process>();
  if (arguments.size() > 1) {
    return refuse(std::string("Tollwick takes one argument at most, the game's folder.\n\n") +
                  kGiveTheGameFolder);
  }
  if (arguments.size() == 1) {
    return useFolder(process.absolutePath(arguments[0]), "The folder");
  }
  // A copy installed beside the game, as the game's own utilities are.
  if (holdsAGameLibrary(process.executableDirectory())) return std::nullopt;

  // A program that lives apart from the game: the game's settings say where it is.
  std::string folder =
      trimSpaces(regReadValue(kHkeyLocalMachine, kSettingsKey, "WorkingDirectory"));
  if (folder.empty()) return refuse(kNotInstalledMessage);
  while (folder.size() > 1 && (endsWithCharacter(folder, '\\') || folder.back() == '/')) {
    folder.pop_back();
  }
  return useFolder(folder, "The game's folder in its settings,");
}

namespace {

const char* const kInstallWine32 =
    "On Debian, install it as root:\n\n"
    "    dpkg --add-architecture i386\n"
    "    apt-get update\n"
    "    apt-get install wine wine32\n\n"
    "Then start Tollwick again.";

}  // namespace

std::string wineNeededText() {
  return std::string(
             "Zelkor's security library ZELKORSEC.dll is a 32-bit Windows library. "
             "Tollwick reads it through Wine, with Wine's 32-bit support, and Wine was "
             "not found.\n\n") +
         kInstallWine32;
}

std::string wineFailedText(int exitCode) {
  return "Wine did not run tollwick.exe to its end (exit code " + std::to_string(exitCode) +
         "). Zelkor's security library ZELKORSEC.dll is a 32-bit Windows library, which "
         "Tollwick reads through Wine with Wine's 32-bit support.\n\n" +
         kInstallWine32;
}

std::string no32BitProgramsText() {
  return "This computer runs no 32-bit programs (its Linux kernel has them switched off), so "
         "Wine cannot run tollwick.exe, the 32-bit program that reads Zelkor's 32-bit "
         "security library ZELKORSEC.dll. Installing more of Wine does not change that.\n\n"
         "Repair the character file on a computer that runs 32-bit programs, or on Windows "
         "with tollwick.exe.";
}

std::optional<int> runThroughWineWhereNeeded() {
  auto& process = platform::use<platform::Process>();
  const std::string folder = process.applicationDirectory();
  // A library this program loads itself, or none it could hand on.
  if (holds(folder, securityLibrary())) return std::nullopt;
  if (!isA32BitWindowsLibrary(inFolder(folder, kWindowsSecurityLibrary))) return std::nullopt;

  auto& wine = platform::use<platform::Wine>();
  const std::string command = wine.find();
  if (command.empty()) return refuse(wineNeededText());

  const std::string programFolder = process.executableDirectory();
  const std::string program = inFolder(programFolder, kWindowsProgram);
  if (!holds(programFolder, kWindowsProgram)) {
    return refuse(
        "Zelkor's security library ZELKORSEC.dll is a 32-bit Windows library, "
        "which only the 32-bit tollwick.exe reads, through Wine. It belongs "
        "beside this program, at \"" +
        program + "\", and is not there.\n\nInstall Tollwick again.");
  }
  // Wine's programs reach files through the prefix's drives.
  const auto unreachable = [](const std::string& what, const std::string& path) {
    return refuse(what + " \"" + path +
                  "\" lies on none of the drives of the Wine prefix, so Wine cannot reach it.");
  };
  const std::string windowsProgram = wine.windowsPath(program);
  if (windowsProgram.empty()) return unreachable("The program", program);
  const std::string windowsFolder = wine.windowsPath(folder);
  if (windowsFolder.empty()) return unreachable("The game's folder", folder);

  // The settings that name files go as Wine's programs name them.
  std::vector<std::pair<std::string, std::string>> environment;
  if (const char* transcript = std::getenv("TOLLWICK_TRANSCRIPT");
      transcript != nullptr && *transcript != '\0') {
    const std::string windowsTranscript = wine.windowsPath(utf8ToAnsi(transcript));
    if (windowsTranscript.empty()) return unreachable("The transcript", utf8ToAnsi(transcript));
    environment.emplace_back("TOLLWICK_TRANSCRIPT", windowsTranscript);
  }

  std::string error;
  const int code = wine.run(command, {windowsProgram, windowsFolder}, environment, error);
  if (code < 0) return refuse("Wine could not be started: " + error);
  // tollwick.exe ends with 0, 1 or 2; anything else is Wine's own failure to run it
  // (no 32-bit support, a damaged prefix), which the player would otherwise never see.
  // A computer that runs no 32-bit programs at all is told apart: no package helps there.
  if (code > 2) {
    return refuse(wine.runs32BitPrograms() ? wineFailedText(code) : no32BitProgramsText());
  }
  return code;
}

}  // namespace tollwick
