#include "startup/main_sequence.h"

#include <array>
#include <cstdlib>
#include <new>

#include "base/text.h"
#include "platform/dialog.h"
#include "platform/process.h"
#include "platform/seam.h"
#include "resources/cls_resource.h"
#include "resources/game_strings.h"
#include "runtime/message_box.h"
#include "runtime/run_time_error.h"
#include "settings/installation_settings.h"
#include "system/system_state.h"

namespace tollwick {
namespace {

using platform::box::kAnswerYes;

// The one value of its own that the sequence keeps between its steps.
struct SequenceState {
  LoadResult loadResult = LoadResult::kLoaded;
};

[[noreturn]] void endAtOnce() {
  platform::use<platform::Process>().endAtOnce();
  std::abort();  // not reached: the process facility does not return from endAtOnce
}

void nameResourceLibrary() {
  gResource().DllName(platform::use<platform::Process>().applicationDirectory() + "\\Zelkor.dll");
}

void loadMasterSystemHeader(const StartupRoutines& routines) {
  if (routines.sysLoadMasterSystemHeader() == LoadResult::kLoaded) return;
  sysMessageBox(gameString(gs::kMasterHeaderFailed), platform::box::kExclamation,
                gameString(gs::kMasterHeaderFailedCaption));
  endAtOnce();
}

void reportLoadFailure(LoadResult loadResult) {
  if (loadResult == LoadResult::kLoaded) return;
  noteFailureReported();
  const int32_t opening = loadResult == LoadResult::kFailed ? gs::kSystemLoadFailedUnprotect
                                                            : gs::kSystemLoadFailedOther;
  // The literal default directory name, whatever system was chosen.
  sysMessageBox(gameString(opening) + "Zelkor\\" + "!", platform::box::kOk);
}

// With a table of exactly one entry whose name is blank, the entry takes the loaded
// system's name, second text and directory. A table without entries is left alone.
void fixUpSystemTable(LoadResult loadResult) {
  if (loadResult != LoadResult::kLoaded) return;
  auto& table = systemState().systemTable;
  const auto& record = systemState().header;
  if (table.size() != 1 || !trimSpaces(table[0].name).empty()) return;
  table[0].directory = record.systemDirectory;
  table[0].name = record.texts[0];
  table[0].secondText = record.texts[1];
}

// Returns false when the sequence ends here (Main returns).
bool reportLoadFailureEnd(LoadResult loadResult) {
  if (loadResult == LoadResult::kLoaded) return true;
  sysMessageBox("There was an error loading the Zelkor system", platform::box::kInformation,
                gameString(gs::kSystemLoadErrorCaption));
  return false;
}

void askAndRepair(const StartupRoutines& routines) {
  if (sysMessageBox("Fix Character File Now?", platform::box::kYesNo) != kAnswerYes) return;
  routines.sysFixBloatedCharacterFile(systemState().header);
}

// The start-up error trap: asks whether to go on; No ends the program at once.
void askAfterError(const std::string& description) {
  noteFailureReported();
  const int16_t answer = sysMessageBox(startupErrorQuestion(description), platform::box::kYesNo,
                                       gameString(gs::kStartupErrorCaption));
  if (answer != kAnswerYes) endAtOnce();
}

enum class StepOutcome { kGoOn, kReturn };

// Runs one step under the trap; on Yes after an error the sequence goes on with the
// next step. An error raised while the question is asked has no trap above it: it
// leaves Main, and main() ends the program with it.
template <class Step>
StepOutcome runTrapped(Step&& step) {
  try {
    try {
      return step();
    } catch (const std::bad_alloc&) {
      throw RunTimeError(err::kOutOfMemory);
    }
  } catch (const RunTimeError& error) {
    askAfterError(error.description());
    return StepOutcome::kGoOn;
  }
}

}  // namespace

void refuseSecondCopy() {
  if (!platform::use<platform::Process>().previousInstanceRunning()) return;
  sysMessageBox(
      std::string("Sorry, only one instance of ") + kApplicationTitle + " can be run at a time.",
      platform::box::kExclamation, std::string(kApplicationTitle) + " " + kVersionText);
  endAtOnce();
}

std::string startupErrorQuestion(const std::string& description) {
  return "Main Startup error '" + description + "' occurred.  Continue anyway?";
}

void Main(const StartupRoutines& routines) {
  SequenceState state;
  auto& dialog = platform::use<platform::Dialog>;
  const auto go = StepOutcome::kGoOn;
  const std::array<std::function<StepOutcome()>, 12> steps = {
      [&] {
        nameResourceLibrary();
        return go;
      },
      [&] {
        refuseSecondCopy();
        return go;
      },
      [&] {
        routines.sarnReadRegistry();
        return go;
      },
      [&] {
        dialog().processPendingMessages();
        return go;
      },
      [&] {
        loadMasterSystemHeader(routines);
        return go;
      },
      [&] {
        dialog().setBusyPointer();
        return go;
      },
      [&] {
        state.loadResult = routines.sysLoadSystem(installationSettings().currentSystemDirectory);
        return go;
      },
      [&] {
        reportLoadFailure(state.loadResult);
        return go;
      },
      [&] {
        fixUpSystemTable(state.loadResult);
        return go;
      },
      [&] { return reportLoadFailureEnd(state.loadResult) ? go : StepOutcome::kReturn; },
      [&] {
        askAndRepair(routines);
        return go;
      },
      [&] {
        sysMessageBox("Done!", platform::box::kOk);
        return go;
      },
  };
  for (const auto& step : steps) {
    if (runTrapped(step) == StepOutcome::kReturn) return;
  }
}

}  // namespace tollwick
