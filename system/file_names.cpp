// System file names and paths.

#include "system/file_names.h"

#include "runtime/file_commands.h"
#include "runtime/message_box.h"
#include "runtime/run_time_error.h"
#include "settings/installation_settings.h"

namespace tollwick {

bool fileExistsOrRaise(std::string& path) {
  // A NUL ends the path, as it would for the operating system; the caller keeps the cut.
  if (const size_t nul = path.find('\0'); nul != std::string::npos) path.resize(nul);
  try {
    return !firstFileMatching(path).empty();
  } catch (const RunTimeError& e) {
    // A file we may not see may still be there: a refused search counts as existing.
    if (e.number() == err::kPermissionDenied) return true;
    throw;
  }
}

bool sysFileExists(std::string& path) {
  try {
    return fileExistsOrRaise(path);
  } catch (const RunTimeError&) {
    return false;
  }
}

std::string sysGetFileName(const std::string& fileName, const std::string& subPath,
                           bool deleteExisting, bool /*unused*/) {
  std::string result;
  try {
    if (subPath.find(':') != std::string::npos) {
      result = subPath + fileName;
    } else {
      const InstallationSettings& settings = installationSettings();
      std::string path =
          sysAddBackslash(settings.systemRootDirectory + settings.currentSystemDirectory) +
          subPath + fileName;
      if (deleteExisting && sysFileExists(path)) deleteFilesMatching(path);
      result = path;
    }
  } catch (const RunTimeError& e) {
    reportError(e, "modZELKORSystem:sysGetFileName!");
    return "";
  }
  return result;
}

}  // namespace tollwick
