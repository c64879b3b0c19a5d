#include "runtime/message_box.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "runtime/testing/recording_dialog.h"

namespace tollwick {
namespace {

using testing::ShownBox;

TEST(MessageBox, ShowsTheApplicationTitleWhenNoCaptionIsGiven) {
  testing::ScopedRecordingDialog dialog;
  dialog.answers = {platform::box::kAnswerYes};
  EXPECT_EQ(sysMessageBox("Go?", 4), 6);
  EXPECT_EQ(sysMessageBox("Look", 48, std::string("Own caption")), 1);
  EXPECT_EQ(sysShowMessage("Plain"), 0);
  EXPECT_THAT(dialog.boxes, ::testing::ElementsAre(ShownBox{"Go?", 4, "Tollwick", 6},
                                                   ShownBox{"Look", 48, "Own caption", 1},
                                                   ShownBox{"Plain", 0, "Tollwick", 1}));
}

TEST(MessageBox, AnEmptyCaptionIsACaptionNotAnAbsentOne) {
  testing::ScopedRecordingDialog dialog;
  sysMessageBox("x", 0, std::string());
  EXPECT_EQ(dialog.boxes.at(0).caption, "");
}

TEST(ErrorReport, ReadsCharacterForCharacterForEachRoutine) {
  EXPECT_EQ(errorReportText("File not found", "modZELKORSystem:sysLoadSystem!"),
            "Error 'File not found' occurred in (Tollwick)modZELKORSystem:sysLoadSystem!");
  EXPECT_EQ(errorReportText("Input past end of file", "modZelkorSecurity:SarnDecryptFile!"),
            "Error 'Input past end of file' occurred in (Tollwick)"
            "modZelkorSecurity:SarnDecryptFile!");
}

TEST(ErrorReport, IsShownAsAPlainMessageWithTheErrorsDescription) {
  testing::ScopedRecordingDialog dialog;
  reportError(RunTimeError(err::kDiskFull), "modSarnSystem:sysFixBloatedCharacterFile!");
  ASSERT_EQ(dialog.boxes.size(), 1u);
  EXPECT_EQ(dialog.boxes[0], (ShownBox{"Error 'Disk full' occurred in (Tollwick)"
                                       "modSarnSystem:sysFixBloatedCharacterFile!",
                                       0, "Tollwick", 1}));
}

TEST(ErrorReport, AnErrorWhileReportingPassesToTheCaller) {
  testing::ScopedRecordingDialog dialog;
  dialog.cannotShowNext = true;
  try {
    reportError(RunTimeError(err::kFileNotFound), "modZELKORSystem:sysLoadSystem!");
    FAIL() << "the dialog's error was swallowed";
  } catch (const RunTimeError& error) {
    EXPECT_EQ(error.number(), err::kDeviceIoError);
  }
}

}  // namespace
}  // namespace tollwick
