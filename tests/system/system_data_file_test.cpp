#include "system/system_data_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/xattr.h>
#endif

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>
#include <utility>

#include "platform/seam.h"
#include "platform/testing/other_writer_fs.h"
#include "runtime/binary_file.h"
#include "security/sarn_security.h"
#include "system/system_state.h"
#include "tools/game_file_writer.h"
#include "tools/testing/installation_fixture.h"

namespace tollwick {
namespace {

using ::testing::IsEmpty;

class SystemDataFileTest : public kit::InstallationFixture {
 protected:
  std::map<std::string, std::optional<std::vector<uint8_t>>> snapshot() const {
    std::map<std::string, std::optional<std::vector<uint8_t>>> files;
    for (const char* name : kSystemDataFiles) files[name] = fileBytes(gameFile(name));
    return files;
  }
};

// A re-signed file keeps what its owner set on it, its extended attributes among them.
TEST_F(SystemDataFileTest, WorksOutTheSignatureAndStampsEveryDataFileWithIt) {
  kit::InstallationOptions options;
  options.unsignedFiles = {"ZELKORMazeItems.DED", "ZELKORMultiConfig.DED"};
  const int32_t signature = install(options);
  ASSERT_NE(signature, 0);
  ASSERT_TRUE(carriesSignature(gameFile("ZELKORMazeItems.DED"), 0));
#ifndef _WIN32
  const std::string items = gameFile("ZELKORMazeItems.DED");
  const std::string note = "the player's note";
  ASSERT_EQ(::setxattr(items.c_str(), "user.note", note.data(), note.size(), 0), 0);
#endif
  EXPECT_EQ(sysLoadSystemDataFile(), LoadResult::kLoaded);
#ifndef _WIN32
  std::string kept(64, '\0');
  kept.resize(static_cast<size_t>(
      std::max<ssize_t>(0, ::getxattr(items.c_str(), "user.note", kept.data(), kept.size()))));
  EXPECT_EQ(kept, note);
#endif
  EXPECT_EQ(systemState().systemSignature, signature);
  EXPECT_EQ(signature, signatureOfText(kit::InstallationOptions{}.signatureText));
  for (const char* name : kSystemDataFiles) {
    EXPECT_TRUE(carriesSignature(gameFile(name), signature)) << name;
  }
  EXPECT_THAT(dialog_.boxes, IsEmpty());
}

TEST_F(SystemDataFileTest, ForeignSignatureStopsWithEarlierFilesRewrittenAndLaterUntouched) {
  kit::InstallationOptions options;
  options.unsignedFiles = {"ZELKORCharacters.DED", "ZELKORMazeItems.DED", "ZELKORMazeMonsters.DED",
                           "ZELKORDungeon.DED"};
  options.foreignSignature = {"ZELKORMazeItemIndex.DED"};
  const int32_t signature = install(options);
  auto before = snapshot();
  EXPECT_EQ(sysLoadSystemDataFile(), LoadResult::kFailed);
  auto after = snapshot();
  EXPECT_TRUE(carriesSignature(gameFile("ZELKORCharacters.DED"), signature));
  EXPECT_TRUE(carriesSignature(gameFile("ZELKORMazeItems.DED"), signature));
  EXPECT_EQ(after["ZELKORMazeItemIndex.DED"], before["ZELKORMazeItemIndex.DED"]);
  EXPECT_EQ(after["ZELKORMazeMonsters.DED"], before["ZELKORMazeMonsters.DED"]);
  EXPECT_EQ(after["ZELKORDungeon.DED"], before["ZELKORDungeon.DED"]);
  EXPECT_EQ(after["ZELKORMultiConfig.DED"], before["ZELKORMultiConfig.DED"]);
  EXPECT_THAT(dialog_.boxes, IsEmpty());
}

TEST_F(SystemDataFileTest, AbsentCharacterFileIsMinusOneBeforeAnyOtherDataFileIsOpened) {
  kit::InstallationOptions options;
  options.omit = {"ZELKORCharacters.DED"};
  options.unsignedFiles = {"ZELKORMazeItems.DED"};  // would change if it were rewritten
  install(options);
  const auto before = snapshot();
  EXPECT_EQ(sysLoadSystemDataFile(), LoadResult::kNotLoaded);
  EXPECT_EQ(snapshot(), before);
}

TEST_F(SystemDataFileTest, ResetSignatureSkipsAbsentFilesAcceptsAnyAndStampsZero) {
  kit::InstallationOptions options;
  options.omit = {"ZELKORCharacters.DED", "ZELKORDungeon.DED"};
  options.foreignSignature = {"ZELKORMazeItems.DED"};
  install(options);
  EXPECT_EQ(sysLoadSystemDataFile(true), LoadResult::kLoaded);
  EXPECT_EQ(systemState().systemSignature, 0);
  for (const char* name : {"ZELKORMazeItems.DED", "ZELKORMazeItemIndex.DED",
                           "ZELKORMazeMonsters.DED", "ZELKORMultiConfig.DED"}) {
    EXPECT_TRUE(carriesSignature(gameFile(name), 0)) << name;
  }
}

TEST_F(SystemDataFileTest, EmptySignatureTextIsNotSpecial) {
  kit::InstallationOptions options;
  options.signatureText = "";
  install(options);
  EXPECT_EQ(sysLoadSystemDataFile(), LoadResult::kLoaded);
  EXPECT_EQ(systemState().systemSignature, signatureOfText(""));
}

TEST_F(SystemDataFileTest, SystemDataFileThatDoesNotUnprotectIsMinusTwo) {
  kit::InstallationOptions options;
  options.damaged = {kSystemDataFileName};
  install(options);
  systemState().systemSignature = 77;
  EXPECT_EQ(sysLoadSystemDataFile(), LoadResult::kFailed);
  EXPECT_EQ(systemState().systemSignature, 77);
}

// Damaged positions and lengths in the system data file: the routine's error report,
// -2, the previous signature kept, no data file touched.
TEST_F(SystemDataFileTest, DamagedSignaturePositionOrLengthIsReportedAndStopsTheRun) {
  struct Case {
    std::vector<uint8_t> content;
    std::string description;
  };
  const std::string filler(12, 'x');
  const std::vector<Case> cases = {
      {kit::ContentBuilder().text(filler).longValue(0).content(),
       "Invalid procedure call or argument"},
      {kit::ContentBuilder().text(filler).longValue(-20).content(),
       "Invalid procedure call or argument"},
      {kit::ContentBuilder().text(filler).longValue(5000).content(), "Input past end of file"},
      {kit::ContentBuilder().text(filler).longValue(29).integer(-4).text("abcd").content(),
       "Invalid procedure call or argument"},
      {kit::ContentBuilder().text(filler).longValue(29).integer(30000).text("abcd").content(),
       "Input past end of file"},
      {kit::ContentBuilder().text("short").content(), "Input past end of file"},
  };
  kit::InstallationOptions options;
  options.unsignedFiles = {"ZELKORCharacters.DED"};
  install(options);
  const auto before = snapshot();
  for (const Case& c : cases) {
    dialog_.boxes.clear();
    kit::writeProtectedFile(gameFile(kSystemDataFileName), c.content, 0, false);
    systemState().systemSignature = 77;
    EXPECT_EQ(sysLoadSystemDataFile(), LoadResult::kFailed);
    ASSERT_EQ(dialog_.boxes.size(), 1u);
    EXPECT_EQ(dialog_.boxes[0].prompt,
              "Error '" + c.description +
                  "' occurred in (Tollwick)modZELKORSystem:sysLoadSystemDataFile!");
    EXPECT_EQ(systemState().systemSignature, 77);
    EXPECT_EQ(snapshot(), before);
  }
}

// A save after the read is caught everywhere; one at the very moment of the
// replacement only where the file system can exchange two files (Linux).
#ifdef _WIN32
constexpr bool kSaveMoments[] = {false};
#else
constexpr bool kSaveMoments[] = {false, true};
#endif

// A data file carrying signature 0 is re-signed by the loader; a save the game makes
// meanwhile (to a file read long enough ago that the file system vouches for it, or
// to one just written), also one at the moment the re-signed copy takes its place,
// wins: the re-signed bytes are discarded and the error says why.
TEST_F(SystemDataFileTest, ASaveMadeWhileTheLoaderResignsADataFileWins) {
  for (const bool atPlacement : kSaveMoments) {
    for (const bool settled : {true, false}) {
      SCOPED_TRACE(std::string(settled ? "file read long ago" : "file just written") +
                   (atPlacement ? ", saved as the copy takes its place" : ""));
      abandonAllFiles();
      dialog_.boxes.clear();
      kit::InstallationOptions options;
      options.unsignedFiles = {"ZELKORMazeItems.DED"};
      install(options);
      const std::string items = gameFile("ZELKORMazeItems.DED");
      const std::vector<uint8_t> saved(fileBytes(items)->size(), 0x5A);
      if (settled) std::this_thread::sleep_for(std::chrono::milliseconds(150));
      testing::OtherWriterFs game;
      game.file = "ZELKORMazeItems.DED";
      game.atPlacement = atPlacement;
      game.save = [&] { writeHostFile(items, saved); };
      platform::Installed<platform::FileSystem> installed(game);
      EXPECT_NE(sysLoadSystemDataFile(), LoadResult::kLoaded);
      ASSERT_EQ(dialog_.boxes.size(), 1u);
      EXPECT_THAT(dialog_.boxes[0].prompt, ::testing::HasSubstr("Path/File access error"));
      EXPECT_EQ(fileBytes(items), saved) << "the save was lost";
    }
  }
}

// The system's key text is texts 3, 1 and 2 of its header, joined. A data file
// protected with that text spelled out here, not made by the program's own key code (a
// mistake there would be invisible in files it made itself), is accepted.
TEST_F(SystemDataFileTest, ADataFileProtectedWithTheKeyTextSpelledOutIsAccepted) {
  const int32_t signature = install();
  ASSERT_EQ(systemState().header.texts[0], "Zelkor");
  ASSERT_EQ(systemState().header.texts[1], "The Realms Below");
  ASSERT_EQ(systemState().header.texts[2], "Varnholt Interactive 1999");
  const std::string path = gameFile("ZELKORMazeItems.DED");
  std::filesystem::remove(path);
  const int16_t file = freeFile();
  openBinary(file, path);
  writeText(file, 1, std::string(12, '\0') + "items protected with the key text spelled out");
  int16_t protectedFile = file;
  ASSERT_TRUE(
      SarnEncryptFile(protectedFile, "Varnholt Interactive 1999ZelkorThe Realms Below", signature));
  closeFile(file);
  EXPECT_EQ(sysLoadSystemDataFile(), LoadResult::kLoaded);
  EXPECT_THAT(dialog_.boxes, IsEmpty());
}

}  // namespace
}  // namespace tollwick
