#pragma once
// MAINSHD: the installation settings reader. Reads the game's registry settings once
// at start-up into installationSettings() and carries out a pending wipe request.

#include <cstdint>

namespace tollwick {

// The game's settings key below HKEY_LOCAL_MACHINE.
inline constexpr const char* kSettingsKey = "SOFTWARE\\Varnholt\\Zelkor";

// Sets every installation setting from the registry (defaults for missing values),
// derives the system root directory and the current system directory, and wipes the
// system files the game asked to have wiped (asking first; a No ends the program at
// once). True when it ran to its end; false after an error, which it reports
// with game string 264; the settings of later steps then keep their initial values.
bool sarnReadRegistry();

}  // namespace tollwick
