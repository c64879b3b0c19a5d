#include "settings/read_registry.h"

#include <string>

#include "base/text.h"
#include "platform/dialog.h"
#include "platform/process.h"
#include "platform/seam.h"
#include "resources/game_strings.h"
#include "runtime/file_commands.h"
#include "runtime/message_box.h"
#include "runtime/run_time_error.h"
#include "settings/installation_settings.h"
#include "settings/registry_values.h"

namespace tollwick {
namespace {

std::string readSetting(const char* valueName) {
  return regReadValue(kHkeyLocalMachine, installationSettings().settingsKey, valueName);
}

// A setting is on when its text holds an upper-case T anywhere (T, True, TRUE).
bool isOn(const std::string& text) { return text.find('T') != std::string::npos; }

void readFlag(const char* valueName, bool& flag) {
  if (isOn(readSetting(valueName))) flag = true;  // flags are only ever set to true
}

// A path exists when a directory search with it as the pattern finds a normal file.
bool exists(const std::string& pattern) { return !firstFileMatching(pattern).empty(); }

// The game asked for its system files to be wiped: ask, delete them, clear the
// request. A No ends the program at once with the request still standing. The patterns
// come from the resource library: one that would reach outside its folder deletes
// nothing (error 52, reported as any failed deletion).
void carryOutWipeRequest() {
  const std::string root = installationSettings().systemRootDirectory;
  const std::string systemFolder = root + "Zelkor\\";
  const bool systemFileFound = exists(systemFolder + gameString(gs::kWipeSystemFile));
  const bool rootFileFound = exists(root + gameString(gs::kWipeRootFile));
  if (rootFileFound || systemFileFound) {
    if (sysMessageBox(gameString(gs::kWipePrompt), platform::box::kYesNo,
                      gameString(gs::kWipeCaption)) == platform::box::kAnswerNo) {
      platform::use<platform::Process>().endAtOnce();
    }
    if (exists(root + gameString(gs::kWipeRootTest))) {
      deleteFilesMatchingIn(root, gameString(gs::kWipeRootPattern));
    }
    if (exists(systemFolder + gameString(gs::kWipeSystemTest))) {
      deleteFilesMatchingIn(systemFolder, gameString(gs::kWipeSystemPattern));
    }
  }
  // A failed write leaves the request for the next start.
  regWriteValue(kHkeyLocalMachine, installationSettings().settingsKey, "WipeSystem", 1,
                gameString(gs::kWipeDoneValue));
}

void readSettings() {
  InstallationSettings& settings = installationSettings();
  settings.settingsKey = kSettingsKey;

  auto& process = platform::use<platform::Process>();
  const std::string applicationDirectory = process.applicationDirectory();
  // A game's folder the player named is the one worked on, whichever folder the
  // settings name: the game is where its libraries were found.
  if (!process.gameFolderNamed()) settings.workingDirectory = readSetting("WorkingDirectory");
  if (trimSpaces(settings.workingDirectory).empty())
    settings.workingDirectory = applicationDirectory;
  if (!settings.workingDirectory.empty()) {
    settings.workingDirectory = sysAddBackslash(settings.workingDirectory);
  }
  settings.systemRootDirectory =
      sysAddBackslash(settings.workingDirectory.empty() ? applicationDirectory
                                                        : settings.workingDirectory) +
      "System\\";

  if (isOn(readSetting("WipeSystem"))) carryOutWipeRequest();

  readFlag("NoBlood", settings.noBlood);
  readFlag("NoLanguage", settings.noLanguage);
  readFlag("AutoBackup", settings.autoBackup);
  readFlag("NoFullScreen", settings.noFullScreen);
  readFlag("NoMusic", settings.noMusic);
  readFlag("NoFX", settings.noFx);
  readFlag("NoPartyFX", settings.noPartyFx);
  readFlag("NoDing", settings.noDing);
  readFlag("NoHelpSound", settings.noHelpSound);
  readFlag("NoAutosave", settings.noAutosave);
  readFlag("MusicVolume", settings.musicVolume);
  readFlag("NoAmbient", settings.noAmbient);
  readFlag("NoUnderwater", settings.noUnderwater);
  readFlag("NoAutomapEdges", settings.noAutomapEdges);
  settings.graphicsMode = readSetting("GraphicsMode");
  readFlag("NoAutolook", settings.noAutolook);
  readFlag("NoParticles", settings.noParticles);
  readFlag("NoLightFlares", settings.noLightFlares);
  readFlag("NoMultiRoomCallback", settings.noMultiRoomCallback);

  readFlag("LoadDefaultSystem", settings.loadDefaultSystem);
  if (settings.loadDefaultSystem) {
    settings.defaultSystemName = readSetting("DefaultSystem");
    settings.currentSystemDirectory = readSetting("SystemDirectory");
  } else {
    settings.currentSystemDirectory = "Zelkor\\";
    settings.defaultSystemName = gameString(gs::kDefaultSystemName);
  }
  if (trimSpaces(settings.currentSystemDirectory).empty()) {
    settings.currentSystemDirectory = "Zelkor\\";
  }
}

}  // namespace

bool sarnReadRegistry() {
  try {
    readSettings();
    return true;
  } catch (const RunTimeError& e) {
    noteFailureReported();
    sysMessageBox(gameString(gs::kSettingsErrorOpening) + e.description() +
                      "' occurred in MAINSHD:sarnReadRegistry!",
                  platform::box::kOk);
    return false;
  }
}

}  // namespace tollwick
