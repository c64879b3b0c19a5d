#include "startup/main_sequence.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/testing/fake_process.h"
#include "resources/cls_resource.h"
#include "resources/testing/scoped_game_strings.h"
#include "runtime/run_time_error.h"
#include "runtime/testing/recording_dialog.h"
#include "settings/installation_settings.h"
#include "system/system_state.h"

namespace tollwick {
namespace {

using ::testing::ElementsAre;
using testing::ProgramEnded;
using testing::ShownBox;

constexpr int32_t kYes = 6, kNo = 7;

const ShownBox kFixQuestionYes{"Fix Character File Now?", 4, "Tollwick", kYes};
const ShownBox kFixQuestionNo{"Fix Character File Now?", 4, "Tollwick", kNo};
const ShownBox kDone{"Done!", 0, "Tollwick", 1};

class MainSequence : public ::testing::Test {
 protected:
  MainSequence() {
    resetSystemState();
    resetInstallationSettings();
    installationSettings().currentSystemDirectory = "Zelkor";
  }
  ~MainSequence() override {
    resetSystemState();
    resetInstallationSettings();
  }

  // Runs Main; false when the program ended at once.
  bool runMain() {
    try {
      Main(routines());
      return true;
    } catch (const ProgramEnded&) {
      return false;
    }
  }

  StartupRoutines routines() {
    StartupRoutines r;
    r.sarnReadRegistry = [this]() -> bool {
      calls.push_back("sarnReadRegistry");
      if (registryError != 0) raiseError(registryError);
      return true;
    };
    r.sysLoadMasterSystemHeader = [this]() -> LoadResult {
      calls.push_back("sysLoadMasterSystemHeader");
      if (masterError != 0) raiseError(masterError);
      return masterResult;
    };
    r.sysLoadSystem = [this](std::string& directory) -> LoadResult {
      calls.push_back("sysLoadSystem(" + directory + ")");
      directory += "\\";
      auto& header = systemState().header;
      header.texts[0] = "Loaded name";
      header.texts[1] = "Loaded second";
      header.systemDirectory = directory;
      return loadResult;
    };
    r.sysFixBloatedCharacterFile = [this](SystemHeaderRecord& record) -> RepairResult {
      calls.push_back("sysFixBloatedCharacterFile(" + record.texts[0] + ")");
      return repairResult;
    };
    return r;
  }

  testing::ScopedFakeProcess process;
  testing::ScopedRecordingDialog dialog;
  testing::ScopedGameStrings strings{testing::numberedGameStrings(),
                                     "C:\\Games\\Zelkor\\Zelkor.dll"};
  std::vector<std::string> calls;
  LoadResult masterResult = LoadResult::kLoaded;
  LoadResult loadResult = LoadResult::kLoaded;
  RepairResult repairResult = RepairResult::kRepaired;
  int32_t registryError = 0;
  int32_t masterError = 0;
};

TEST_F(MainSequence, YesRunsTheRepairAndEndsWithDone) {
  dialog.answers = {kYes};
  EXPECT_TRUE(runMain());
  EXPECT_THAT(dialog.boxes, ElementsAre(kFixQuestionYes, kDone));
  EXPECT_THAT(calls,
              ElementsAre("sarnReadRegistry", "sysLoadMasterSystemHeader", "sysLoadSystem(Zelkor)",
                          "sysFixBloatedCharacterFile(Loaded name)"));
  EXPECT_EQ(installationSettings().currentSystemDirectory, "Zelkor\\");  // by reference
  EXPECT_EQ(dialog.pendingMessageCalls, 1);
  EXPECT_EQ(dialog.busyPointerCalls, 1);
}

TEST_F(MainSequence, NoSkipsTheRepairAndStillShowsDone) {
  dialog.answers = {kNo};
  EXPECT_TRUE(runMain());
  EXPECT_THAT(dialog.boxes, ElementsAre(kFixQuestionNo, kDone));
  EXPECT_EQ(calls.size(), 3u);
}

TEST_F(MainSequence, AFailedRepairStillEndsWithDone) {
  dialog.answers = {kYes};
  repairResult = RepairResult::kNotUnprotected;
  EXPECT_TRUE(runMain());
  EXPECT_THAT(dialog.boxes, ElementsAre(kFixQuestionYes, kDone));
}

TEST_F(MainSequence, TheResourceLibraryIsNamedFromTheApplicationDirectory) {
  EXPECT_TRUE(runMain());
  EXPECT_EQ(gResource().DllName(), "C:\\Games\\Zelkor\\Zelkor.dll");
}

TEST_F(MainSequence, ASecondCopyShowsOnlyTheRefusalAndReadsNoSettings) {
  process.anotherCopyRunning = true;
  EXPECT_FALSE(runMain());
  EXPECT_THAT(dialog.boxes,
              ElementsAre(ShownBox{"Sorry, only one instance of Tollwick can be run at a time.", 48,
                                   "Tollwick 1.01  ", 1}));
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(gResource().DllName(), "C:\\Games\\Zelkor\\Zelkor.dll");  // named before the test
}

TEST_F(MainSequence, AFailedMasterHeaderEndsAtOnceWithoutLoadingTheSystem) {
  masterResult = LoadResult::kFailed;
  EXPECT_FALSE(runMain());
  EXPECT_THAT(dialog.boxes, ElementsAre(ShownBox{"<931>", 48, "<932>", 1}));
  EXPECT_THAT(calls, ElementsAre("sarnReadRegistry", "sysLoadMasterSystemHeader"));
}

TEST_F(MainSequence, LoadResultMinusTwoShowsString952ThenTheLoadingError) {
  loadResult = LoadResult::kFailed;
  EXPECT_TRUE(runMain());
  EXPECT_THAT(dialog.boxes, ElementsAre(ShownBox{"<952>Zelkor\\!", 0, "Tollwick", 1},
                                        ShownBox{"There was an error loading the Zelkor system", 64,
                                                 "<955>", 1}));
  EXPECT_EQ(calls.size(), 3u);  // no repair
}

TEST_F(MainSequence, OtherLoadFailuresShowString953) {
  // 5 stands for any other code a loader might return.
  for (LoadResult result :
       {LoadResult::kNotLoaded, LoadResult::kNotProtected, static_cast<LoadResult>(5)}) {
    dialog.boxes.clear();
    loadResult = result;
    installationSettings().currentSystemDirectory = "Custom";
    EXPECT_TRUE(runMain());
    EXPECT_THAT(dialog.boxes, ElementsAre(ShownBox{"<953>Zelkor\\!", 0, "Tollwick", 1},
                                          ShownBox{"There was an error loading the Zelkor system",
                                                   64, "<955>", 1}))
        << "result " << static_cast<int>(result);
  }
}

TEST_F(MainSequence, ASingleBlankTableEntryIsFilledFromTheLoadedSystem) {
  systemState().systemTable = {{"   ", "old second", "old dir"}};
  EXPECT_TRUE(runMain());
  const auto& entry = systemState().systemTable.at(0);
  EXPECT_EQ(entry.name, "Loaded name");
  EXPECT_EQ(entry.secondText, "Loaded second");
  EXPECT_EQ(entry.directory, "Zelkor\\");
}

TEST_F(MainSequence, TheTableIsLeftAloneUnlessItHoldsExactlyOneBlankEntry) {
  systemState().systemTable = {{"Named", "s", "d"}};
  EXPECT_TRUE(runMain());
  EXPECT_EQ(systemState().systemTable.at(0).name, "Named");

  systemState().systemTable = {{"", "s", "d"}, {"", "t", "e"}};
  EXPECT_TRUE(runMain());
  EXPECT_EQ(systemState().systemTable.at(0).name, "");
  EXPECT_EQ(systemState().systemTable.at(1).directory, "e");
}

TEST_F(MainSequence, AnEmptyTableSkipsTheFixUpWithoutAnError) {
  // The master header was missing: the table has no entries, and the system loaded.
  dialog.answers = {kNo};
  EXPECT_TRUE(runMain());
  EXPECT_THAT(dialog.boxes, ElementsAre(kFixQuestionNo, kDone));
  EXPECT_TRUE(systemState().systemTable.empty());
}

TEST_F(MainSequence, TheTrapAsksAndYesGoesOnWithTheNextStep) {
  registryError = err::kFileNotFound;
  dialog.answers = {kYes, kNo};
  EXPECT_TRUE(runMain());
  EXPECT_THAT(
      dialog.boxes,
      ElementsAre(ShownBox{"Main Startup error 'File not found' occurred.  Continue anyway?", 4,
                           "<964>", kYes},
                  kFixQuestionNo, kDone));
  EXPECT_EQ(calls.at(1), "sysLoadMasterSystemHeader");
}

TEST_F(MainSequence, TheTrapsNoEndsTheProgramAtOnce) {
  registryError = err::kPermissionDenied;
  dialog.answers = {kNo};
  EXPECT_FALSE(runMain());
  EXPECT_EQ(dialog.boxes.size(), 1u);
  EXPECT_THAT(calls, ElementsAre("sarnReadRegistry"));
  EXPECT_EQ(process.endCalls, 1);
}

TEST_F(MainSequence, TheTrapStaysArmedForALaterError) {
  registryError = err::kFileNotFound;
  masterError = err::kOutOfMemory;
  dialog.answers = {kYes, kYes, kNo};
  EXPECT_TRUE(runMain());
  ASSERT_EQ(dialog.boxes.size(), 4u);
  EXPECT_EQ(dialog.boxes[1].prompt,
            "Main Startup error 'Out of memory' occurred.  Continue anyway?");
  // The master header step failed by error, not by result: the sequence goes on.
  EXPECT_EQ(calls.at(2), "sysLoadSystem(Zelkor)");
}

TEST_F(MainSequence, ABoxThatCannotBeShownReachesTheTrap) {
  dialog.answers = {kYes};
  dialog.cannotShowNext = true;  // "Fix Character File Now?" cannot be shown
  EXPECT_TRUE(runMain());
  EXPECT_THAT(
      dialog.prompts(),
      ElementsAre("Main Startup error 'Device I/O error' occurred.  Continue anyway?", "Done!"));
  EXPECT_EQ(calls.size(), 3u);  // the repair did not run on the failed question
}

TEST_F(MainSequence, WithoutAResourceLibraryTheGameStringsComeBackEmpty) {
  installationSettings().currentSystemDirectory = "Zelkor";
  testing::ScopedGameStrings none({}, "elsewhere.dll");  // the application's library is absent
  masterResult = LoadResult::kFailed;
  EXPECT_FALSE(runMain());
  EXPECT_THAT(dialog.boxes, ElementsAre(ShownBox{"", 48, "", 1}));
  EXPECT_EQ(gResource().DllName(), "");
}

}  // namespace
}  // namespace tollwick
