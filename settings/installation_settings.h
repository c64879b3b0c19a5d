#pragma once
// The installation settings: module-level values read once from the game's registry
// settings at start-up. All start empty or false.

#include <string>

namespace tollwick {

struct InstallationSettings {
  std::string settingsKey;
  std::string workingDirectory;
  // Working directory + "System\"; always ends in a backslash once set.
  std::string systemRootDirectory;
  // The chosen system's directory relative to the system root ("Zelkor\" by default).
  std::string currentSystemDirectory;
  bool loadDefaultSystem = false;
  std::string defaultSystemName;
  std::string graphicsMode;
  bool noBlood = false, noLanguage = false, autoBackup = false, noFullScreen = false,
       noMusic = false, noFx = false, noPartyFx = false, noDing = false, noHelpSound = false,
       noAutosave = false, musicVolume = false, noAmbient = false, noUnderwater = false,
       noAutomapEdges = false, noAutolook = false, noParticles = false, noLightFlares = false,
       noMultiRoomCallback = false;
};

InstallationSettings& installationSettings();

// Back to the state at program start (tests).
void resetInstallationSettings();

}  // namespace tollwick
