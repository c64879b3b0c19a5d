#pragma once
// make-install: a complete sample game installation, written through the same file
// layer and protected-file layer that the utility reads with.

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <set>
#include <string>

#include "system/system_header_record.h"
#include "tools/character_file_builder.h"

namespace tollwick::kit {

struct InstallationOptions {
  int systems = 1;                    // systems listed in the master system header
  bool blankFirstEntry = false;       // entry 0 listed with a name of spaces
  std::string systemName = "Zelkor";  // text 1 of the system header
  std::string secondText = "The Realms Below";
  std::string thirdText = "Varnholt Interactive 1999";
  std::string signatureText = "ZELKOR STANDARD SYSTEM";
  CharacterFileOptions characters;
  std::set<std::string> omit;                  // file names not written
  std::set<std::string> foreignSignature;      // data files protected with another signature
  std::set<std::string> unsignedFiles;         // data files protected with signature 0
  std::set<std::string> damaged;               // files whose protected data is damaged
  std::string resourceLibrary = "Zelkor.dll";  // the library beside the kit installed as Zelkor.dll
};

// The host directory of the system "Zelkor\" inside installation `root`.
std::string systemDirectoryOf(const std::string& root);

// Writes the installation under `root` (created when missing): tollwick, ZELKORSEC.so
// and Zelkor.dll (tollwick.exe and ZELKORSEC.dll on Windows) copied from
// `programDirectory` (the program skipped with a warning on
// `log` when it is not there), System/ZelkorSystemMain.MSF,
// System/Zelkor/ZelkorSystemHeader.MSF, ZELKORSystemData.DED, the six data files and
// the character file. The texts of `options` are in the code page. Returns the system
// signature. Errors are run-time errors; a `root` the code page cannot name is error 76
// before anything is written.
int32_t makeInstallation(const std::filesystem::path& root, const std::string& programDirectory,
                         const InstallationOptions& options, std::ostream& log);

// Writes only the game files of the installation (System/ and below) and leaves
// systemState().header holding the system's header record. Returns the system
// signature.
int32_t writeGameFiles(const std::filesystem::path& root, const InstallationOptions& options);

// The system header record that make-install writes for `options`.
SystemHeaderRecord sampleHeaderRecord(const InstallationOptions& options);

}  // namespace tollwick::kit
