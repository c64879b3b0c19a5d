#include "system/system_load.h"

#include "platform/dialog.h"
#include "platform/process.h"
#include "platform/seam.h"
#include "resources/game_strings.h"
#include "runtime/message_box.h"
#include "runtime/run_time_error.h"
#include "settings/installation_settings.h"
#include "system/file_names.h"
#include "system/system_data_file.h"
#include "system/system_header.h"
#include "system/system_state.h"

namespace tollwick {
namespace {

std::string dataFilesFailedPrompt() {
  std::string prompt;
  for (int32_t id = gs::kDataFilesFailed1; id <= gs::kDataFilesFailed5; ++id) {
    prompt += gameString(id);
  }
  return prompt;
}

}  // namespace

LoadResult sysLoadSystem(std::string& systemDirectory, bool resetSignature, bool unused) {
  (void)unused;
  LoadResult result = LoadResult::kLoaded;
  try {
    const std::string headerPath = installationSettings().systemRootDirectory +
                                   sysAddBackslash(systemDirectory) + kSystemHeaderName;
    systemDirectory = sysAddBackslash(systemDirectory);
    installationSettings().currentSystemDirectory = systemDirectory;

    SystemHeaderRecord& record = systemState().header;
    if (sysLoadSystemHeader(headerPath, record) != LoadResult::kLoaded) {
      result = LoadResult::kNotLoaded;
      sysMessageBox(gameString(gs::kSystemHeaderNotLoaded), platform::box::kOk);
      return result;
    }
    record.systemDirectory = systemDirectory;

    std::string dataFilePath = sysGetFileName(kSystemDataFileName);
    if (!sysFileExists(dataFilePath)) {
      sysMessageBox(kMustInstallMessage, platform::box::kInformation,
                    gameString(gs::kNotInstalledCaption));
      platform::use<platform::Process>().endAtOnce();
    }

    const LoadResult code = sysLoadSystemDataFile(resetSignature);
    if (code != LoadResult::kLoaded) {
      result = code;
      sysMessageBox(dataFilesFailedPrompt(), platform::box::kExclamation,
                    gameString(gs::kDataFilesFailedCaption));
    }
  } catch (const RunTimeError& e) {
    reportError(e, "modZELKORSystem:sysLoadSystem!");
    if (result == LoadResult::kLoaded) result = LoadResult::kNotLoaded;
  }
  return result;
}

}  // namespace tollwick
