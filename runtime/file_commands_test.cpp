// The runtime's file statements: Windows name matching, the directory search and
// delete by pattern, copy and rename, on FaultFs.

#include "runtime/file_commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iterator>

#include "platform/ansi_text.h"
#include "platform/seam.h"
#include "platform/testing/fault_fs.h"
#include "platform/testing/scoped_code_page.h"
#include "platform/testing/scratch_directory.h"
#include "runtime/run_time_error.h"
#include "runtime/testing/raised_error.h"

namespace tollwick {
namespace {

using platform::Code;

using testing::errorNumberRaisedBy;

TEST(FileNameMatchesTest, WildcardsAndCaseFollowWindows) {
  tollwick::testing::ScopedCodePage western(1252);
  EXPECT_TRUE(fileNameMatches("ZELKORCharacters.DED", "*.DED"));
  EXPECT_TRUE(fileNameMatches("ZELKORCharacters.DED", "zelkor*.ded"));
  EXPECT_TRUE(fileNameMatches("ZELKORCharacters.DED", "*"));
  EXPECT_TRUE(fileNameMatches("NoDot", "*.*"));
  EXPECT_TRUE(fileNameMatches("a.DED", "?.D?D"));
  EXPECT_TRUE(fileNameMatches("abcbc", "a*bc"));
  EXPECT_TRUE(fileNameMatches("", "*"));
  EXPECT_FALSE(fileNameMatches("ab.DED", "?.DED"));
  EXPECT_FALSE(fileNameMatches("a.DEDX", "*.DED"));
  EXPECT_FALSE(fileNameMatches("a.DED", "b*"));
  EXPECT_TRUE(sameFileName("Caf\xE9.MSF", "CAF\xC9.msf"));
  EXPECT_TRUE(sameFileName("\x9A\xFF", "\x8A\x9F"));
  EXPECT_FALSE(sameFileName("\xF7", "\xD7"));  // division and multiplication signs differ
  EXPECT_FALSE(sameFileName("a.DED", "a.DE"));
}

class FileCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs_.putFile("G\\b.DED", "b");
    fs_.putFile("G\\a.DED", "a");
    fs_.putFile("G\\.hidden.DED", "h");
    fs_.putFile("G\\other.MSF", "o");
    fs_.addDirectory("G\\Folder.DED");
  }
  testing::FaultFs fs_;
  platform::Installed<platform::FileSystem> installed_{fs_};
};

TEST_F(FileCommandsTest, DirFirstFindsNormalFilesOnly) {
  EXPECT_EQ(firstFileMatching("G\\*.DED"), "a.DED");
  EXPECT_EQ(firstFileMatching("G\\b.DED"), "b.DED");
  EXPECT_EQ(firstFileMatching("G\\.hidden.DED"), "");
  EXPECT_EQ(firstFileMatching("G\\Folder.DED"), "");
  EXPECT_EQ(firstFileMatching("G\\*.TXT"), "");
  EXPECT_EQ(firstFileMatching("Missing\\*.DED"), "");
  EXPECT_EQ(firstFileMatching("G\\"), "");
  fs_.failAt(fs_.operations() + 1, Code::kAccessDenied);
  EXPECT_EQ(errorNumberRaisedBy([] { firstFileMatching("G\\*.DED"); }), err::kPermissionDenied);
}

TEST_F(FileCommandsTest, PathMatchesFilesAndDirectoriesButNotHiddenFiles) {
  EXPECT_TRUE(pathMatchesAnything("G\\Folder.DED"));
  EXPECT_TRUE(pathMatchesAnything("G\\other.*"));
  EXPECT_FALSE(pathMatchesAnything("G\\.hidden.DED"));
  EXPECT_FALSE(pathMatchesAnything("G\\*.TXT"));
}

TEST_F(FileCommandsTest, KillFilesDeletesEveryNormalFileMatching) {
  deleteFilesMatching("G\\*.DED");
  EXPECT_EQ(fs_.visibleFiles(),
            (std::map<std::string, std::string>{{"G\\.hidden.DED", "h"}, {"G\\other.MSF", "o"}}));
  // Durable at once: a crash now keeps the deletions.
  EXPECT_EQ(fs_.diskAfterCrash(testing::FaultFs::Survivors::kNone).size(), 2u);
  EXPECT_EQ(errorNumberRaisedBy([] { deleteFilesMatching("G\\*.DED"); }), err::kFileNotFound);
  EXPECT_EQ(errorNumberRaisedBy([] { deleteFilesMatching("Missing\\x"); }), err::kFileNotFound);
  fs_.failAt(fs_.operations() + 2, Code::kUnusable);  // the removal
  EXPECT_EQ(errorNumberRaisedBy([] { deleteFilesMatching("G\\other.MSF"); }),
            err::kPermissionDenied);
  EXPECT_TRUE(fs_.visibleFile("G\\other.MSF").has_value());
}

TEST_F(FileCommandsTest, FileCopyReplacesTheTargetAsAWhole) {
  fileCopy("G\\a.DED", "G\\b.DED");
  fileCopy("G\\a.DED", "G\\new.DED");
  EXPECT_EQ(fs_.visibleFile("G\\b.DED"), "a");
  EXPECT_EQ(fs_.diskAfterCrash(testing::FaultFs::Survivors::kNone).at("G\\new.DED"), "a");
  EXPECT_EQ(errorNumberRaisedBy([] { fileCopy("G\\missing", "G\\x"); }), err::kFileNotFound);
  EXPECT_EQ(errorNumberRaisedBy([] { fileCopy("G\\a.DED", "H\\x"); }), err::kPathNotFound);
  EXPECT_FALSE(fs_.visibleFile("G\\x").has_value());
}

TEST_F(FileCommandsTest, NameFileReplacesTheTargetDurably) {
  renameFile("G\\a.DED", "G\\b.DED");
  EXPECT_FALSE(fs_.visibleFile("G\\a.DED").has_value());
  EXPECT_EQ(fs_.diskAfterCrash(testing::FaultFs::Survivors::kNone).at("G\\b.DED"), "a");
  EXPECT_EQ(errorNumberRaisedBy([] { renameFile("G\\a.DED", "G\\c.DED"); }), err::kFileNotFound);
}

// On the operating system's own file system, as the wipe request and the repair's
// clean-up meet it: a read-only match refuses the whole deletion (75) before anything is
// deleted, on Linux as on Windows.
TEST(KillFilesOnDiskTest, AReadOnlyMatchDeletesNothing) {
  testing::ScratchDirectory dir;
  dir.write("a.tmp", "a");
  dir.write("b.tmp", "b");
  std::filesystem::permissions(dir.file("b.tmp"), std::filesystem::perms::owner_read |
                                                      std::filesystem::perms::group_read |
                                                      std::filesystem::perms::others_read);
  EXPECT_EQ(errorNumberRaisedBy([&] { deleteFilesMatching(dir.file("*.tmp")); }),
            err::kPathFileAccessError);
  EXPECT_EQ(dir.read("a.tmp"), "a");
  EXPECT_EQ(dir.read("b.tmp"), "b");

  std::filesystem::permissions(dir.file("b.tmp"), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
  deleteFilesMatching(dir.file("*.tmp"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            0);
}

}  // namespace
}  // namespace tollwick
