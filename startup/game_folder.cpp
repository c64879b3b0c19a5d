#include "startup/game_folder.h"

#include <cstdlib>
#include <string>
#include <utility>

#include "base/text.h"
#include "formats/pe/pe_headers.h"
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
#include "startup/main_sequence.h"
#include "system/master_system_header.h"

namespace tollwick {
namespace {

using platform::EntryKind;

constexpr const char* kResourceLibrary = "Zelkor.dll";
constexpr const char* kWindowsSecurityLibrary = "ZELKORSEC.dll";
constexpr const char* kWindowsProgram = "tollwick.exe";

std::string securityLibrary() { return std::string("ZELKORSEC") + platform::kSharedLibrarySuffix; }

// `name` in `folder`, joined with the separator the folder is written with: a Linux
// host path's '/', else '\', so that a message shows one kind.
std::string inFolder(const std::string& folder, const std::string& name) {
  const bool hostPath = folder.find('/') != std::string::npos &&
                        findFirstCharacterOf(folder, "\\") == std::string::npos;
  return folder + (hostPath ? "/" : "\\") + name;
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

// Told from its headers: the library is never read whole (it may be of any size).
bool isA32BitWindowsLibrary(const std::string& path) {
  const auto kind = pe::readPeKind(platform::use<platform::FileSystem>(), path);
  return kind.ok() && !kind->pe32Plus && kind->machine == pe::kMachineI386;
}

// Ends the run before anything is touched, after a box that says why.
int refuse(const std::string& prompt) {
  noteFailureReported();
  sysMessageBox(prompt, platform::box::kExclamation);
  return 2;
}

constexpr const char* kChooserTitle = "Where is Zelkor installed?";

const char* const kGiveTheGameFolder =
    "Start Tollwick with the folder where Zelkor is installed, the one that holds the "
    "game's Zelkor.dll and ZELKORSEC.dll:\n\n    tollwick GAME_FOLDER";
const char* const kChooseTheGameFolder =
    "Choose the folder where Zelkor is installed, the one that holds the game's Zelkor.dll "
    "and ZELKORSEC.dll.";

// Whether the boxes come with the desktop's folder chooser: a player who double-clicked
// the program is never told to type a command.
bool chooserOffered() { return platform::use<platform::Dialog>().offersFolderChooser(); }

// Why `folder` (written by the player as `written`, named by `namedBy`) cannot be the
// game's folder; nullopt when it can.
std::optional<std::string> unusable(const std::string& folder, const std::string& written,
                                    const std::string& namedBy) {
  if (!isA(EntryKind::kDirectory, folder)) {
    return namedBy + " \"" + written + "\" does not exist.";
  }
  if (!holdsAGameLibrary(folder)) {
    return namedBy + " \"" + written +
           "\" holds neither Zelkor.dll nor ZELKORSEC.dll: Zelkor is not installed there.";
  }
  return std::nullopt;
}

// `folder` without the separators at its end, as the application directory is written
// ("C:" for a drive's root; "/" stays).
std::string withoutFinalSeparator(std::string folder) {
  // The last character, not the last byte: "表" ends in the byte of a backslash.
  while (folder.size() > 1 && (endsWithCharacter(folder, '\\') || folder.back() == '/')) {
    folder.pop_back();
  }
  return folder;
}

// `folder`, named by the player, is the game's folder of the whole run; a game inside a
// Wine prefix is run with that prefix (its settings, its drives).
void takeNamedFolder(const std::string& folder) {
  platform::use<platform::Process>().chooseApplicationDirectory(folder, true);
  platform::use<platform::Wine>().usePrefixHolding(folder);
}

// Asks with the desktop's folder chooser until the player chooses a game's folder or
// cancels. A folder that holds no game is told in a box, and the chooser comes again;
// Cancel ends the run with nothing touched.
std::optional<int> askForTheGameFolder() {
  auto& dialog = platform::use<platform::Dialog>();
  for (;;) {
    const platform::FolderChoice choice = dialog.chooseFolder(kChooserTitle);
    switch (choice.outcome) {
      case platform::FolderChoice::Outcome::kChosen: {
        const std::string folder = withoutFinalSeparator(choice.folder);
        if (const auto why = unusable(folder, folder, "The folder")) {
          sysMessageBox(*why + "\n\n" + kChooseTheGameFolder, platform::box::kExclamation);
          continue;
        }
        takeNamedFolder(folder);
        return std::nullopt;
      }
      case platform::FolderChoice::Outcome::kCancelled:
        return 2;
      case platform::FolderChoice::Outcome::kNotOffered:
        // The desktop went away: the boxes go on where the dialog can show them.
        return refuse(kNotInstalledMessage);
    }
  }
}

}  // namespace

std::optional<int> chooseGameFolder(const std::vector<std::string>& arguments) {
  auto& process = platform::use<platform::Process>();
  if (arguments.size() > 1) {
    return refuse(std::string("Tollwick takes one argument at most, the game's folder.\n\n") +
                  kGiveTheGameFolder);
  }
  if (arguments.size() == 1) {
    const std::string folder = process.absolutePath(arguments[0]);
    if (const auto why = unusable(folder, arguments[0], "The folder")) {
      return refuse(*why + "\n\n" + kGiveTheGameFolder);
    }
    takeNamedFolder(folder);
    return std::nullopt;
  }
  // A copy installed beside the game, as the game's own utilities are.
  const std::string ownFolder = process.executableDirectory();
  if (holdsAGameLibrary(ownFolder)) {
    platform::use<platform::Wine>().usePrefixHolding(ownFolder);
    return std::nullopt;
  }

  // A program that lives apart from the game: the game's settings say where it is, or
  // else, on a desktop, the player does.
  const std::string folder = withoutFinalSeparator(
      trimSpaces(regReadValue(kHkeyLocalMachine, kSettingsKey, "WorkingDirectory")));
  if (!folder.empty()) {
    const auto why = unusable(folder, folder, "The game's folder in its settings,");
    if (!why) {
      process.chooseApplicationDirectory(folder);
      return std::nullopt;
    }
    if (!chooserOffered()) return refuse(*why + "\n\n" + kGiveTheGameFolder);
    sysMessageBox(*why + "\n\n" + kChooseTheGameFolder, platform::box::kExclamation);
  } else if (!chooserOffered()) {
    return refuse(kNotInstalledMessage);
  }
  return askForTheGameFolder();
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

std::string prefixUpdateQuestion(const std::string& prefix) {
  return "Zelkor's security library is read through Wine, in the Wine prefix \"" + prefix +
         "\", which another version of Wine set up. Wine will first update that prefix, "
         "which rewrites Windows files in it and can undo what a game launcher installed "
         "there.\n\nLet Wine update the prefix?";
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
  const std::string prefix = wine.prefixName();
  const std::string windowsFolder = wine.windowsPath(folder);
  if (windowsFolder.empty()) {
    return refuse("The game's folder \"" + folder +
                  "\" lies in no Wine prefix (no folder above it holds system.reg and "
                  "drive_c), and no drive of the Wine prefix \"" +
                  prefix +
                  "\" reaches it.\n\nTollwick runs the game's library in the Wine prefix "
                  "Zelkor is run with. Name that prefix with WINEPREFIX, as in:\n\n"
                  "    WINEPREFIX=~/Games/zelkor tollwick \"" +
                  folder + "\"");
  }
  const auto unreachable = [&prefix](const std::string& what, const std::string& path) {
    return refuse(what + " \"" + path + "\" lies on none of the drives of the Wine prefix \"" +
                  prefix + "\", so Wine cannot reach it.");
  };
  const std::string windowsProgram = wine.windowsPath(program);
  if (windowsProgram.empty()) return unreachable("The program", program);

  // The settings that name files go as Wine's programs name them.
  std::vector<std::pair<std::string, std::string>> environment;
  if (const char* transcript = std::getenv("TOLLWICK_TRANSCRIPT");
      transcript != nullptr && *transcript != '\0') {
    // tollwick.exe takes its settings in the code page: a name it cannot hold would
    // reach it changed, and its boxes would go to another file.
    if (ansiToUtf8(utf8ToAnsi(transcript)) != transcript) {
      return refuse(std::string("The transcript \"") + transcript +
                    "\" (TOLLWICK_TRANSCRIPT) has a name the Windows code page cannot hold, "
                    "so tollwick.exe could not write it through Wine. Name a transcript "
                    "without such characters.");
    }
    const std::string windowsTranscript = wine.windowsPath(utf8ToAnsi(transcript));
    if (windowsTranscript.empty()) return unreachable("The transcript", utf8ToAnsi(transcript));
    environment.emplace_back("TOLLWICK_TRANSCRIPT", windowsTranscript);
  }

  // One copy per game folder also when tollwick.exe does the work: this program holds
  // the lock for it.
  refuseSecondCopy();

  // Wine updates a prefix that another Wine set up before it runs anything there: never
  // without the player's Yes.
  if (wine.wouldUpdatePrefix(command) &&
      sysMessageBox(prefixUpdateQuestion(prefix), platform::box::kYesNo) !=
          platform::box::kAnswerYes) {
    return 2;
  }

  const platform::Result<int> ran = wine.run(command, {windowsProgram, windowsFolder}, environment);
  if (!ran.ok()) return refuse("Wine could not be started: " + ran.status().context());
  const int code = *ran;
  // tollwick.exe ends with 0, 1 or 2; anything else is Wine's own failure to run it
  // (no 32-bit support, a damaged prefix), which the player would otherwise never see.
  // A computer that runs no 32-bit programs at all is told apart: no package helps there.
  if (code > 2) {
    return refuse(wine.runs32BitPrograms() ? wineFailedText(code) : no32BitProgramsText());
  }
  return code;
}

}  // namespace tollwick
