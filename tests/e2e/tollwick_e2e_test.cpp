// The whole program as a user runs it: zelkor-kit makes an installation, tollwick runs
// in it with scripted answers and a transcript of its boxes, and inspect looks at the
// character file afterwards.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/ansi_text.h"
#include "platform/seam.h"
#include "platform/testing/scratch_directory.h"
#include "platform/wine.h"
#include "resources/cls_resource.h"
#include "resources/game_strings.h"
#include "startup/game_folder.h"

namespace tollwick {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

struct Box {
  std::string caption;
  std::string prompt;
  int style = 0;
  int answer = 0;
  bool operator==(const Box&) const = default;
};

void PrintTo(const Box& box, std::ostream* out) {
  *out << "{" << box.caption << " | " << box.prompt << " | " << box.style << " | " << box.answer
       << "}";
}

std::string bin() { return TOLLWICK_BINARY_DIR "/bin"; }

std::string quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Every file under `root`, by its name below it, with its bytes.
std::map<std::string, std::string> filesUnder(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file())
      files[fs::relative(entry.path(), root).string()] = readAll(entry.path());
  }
  return files;
}

class TollwickEndToEndTest : public ::testing::Test {
 protected:
  TollwickEndToEndTest() {
    // Every run in a Western locale (code page 1252) unless a test names another.
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_CTYPE");
    ::setenv("LANG", "C.UTF-8", 1);
    fs::create_directories(work_ / "wine");
    install_ = work_ / "install";
    // Game strings as the sample library holds them, for the expected boxes.
    gResource().DllName(bin() + "/Zelkor.dll");
  }
  ~TollwickEndToEndTest() override { gResource().DllName(""); }

  // Runs a shell command; returns its exit code, standard output in `out`.
  int shell(const std::string& command, std::string* out = nullptr) {
    const fs::path outFile = work_ / "out.txt", rcFile = work_ / "rc.txt";
    const std::string line =
        "(" + command + ") >" + quote(outFile) + " 2>&1; echo $? >" + quote(rcFile);
    if (std::system(line.c_str()) != 0) return -1;
    if (out != nullptr) *out = readAll(outFile);
    return std::stoi(readAll(rcFile));
  }

  void makeInstall(const std::string& options = "") {
    std::string out;
    ASSERT_EQ(
        shell(quote(bin() + "/zelkor-kit") + " make-install " + quote(install_) + " " + options,
              &out),
        0)
        << out;
    ASSERT_TRUE(fs::exists(install_ / "tollwick")) << "tollwick is not built";
  }

  // Runs the installed tollwick (after the shell words `before`, such as a ulimit), or
  // the one at `program` with the shell words `arguments`; returns its exit code and
  // fills boxes_.
  int runTollwick(const std::string& answers, const std::string& before = "",
                  const fs::path& program = {}, const std::string& arguments = "",
                  const std::string& environment = "") {
    const fs::path transcript = work_ / "transcript.jsonl";
    fs::remove(transcript);
    const std::string prefix =
        ownPrefix_ ? "WINEPREFIX=" + quote(work_ / "wine") : "-u WINEPREFIX HOME=" + quote(work_);
    const std::string env = "env -u DISPLAY -u WAYLAND_DISPLAY -u TOLLWICK_DIALOG " + prefix +
                            " TOLLWICK_ANSWERS=" + quote(answers) +
                            " TOLLWICK_TRANSCRIPT=" + quote(transcript) + " " + environment + " ";
    const fs::path run = program.empty() ? install_ / "tollwick" : program;
    const int code = shell(before + env + quote(run) + " " + arguments + " </dev/null", &output_);
    boxes_.clear();
    std::ifstream in(transcript);
    for (std::string line; std::getline(in, line);) {
      const auto json = nlohmann::json::parse(line);
      boxes_.push_back(
          {json.at("caption"), json.at("prompt"), json.at("style"), json.at("answer")});
    }
    return code;
  }

  // zelkor-kit's report on the game file `name`, after the shell words `before` (such as
  // a locale's LANG=...).
  std::string inspect(const std::string& name, const std::string& before = "") {
    std::string out;
    shell(before + " " + quote(bin() + "/zelkor-kit") + " inspect " + quote(gameFile(name)), &out);
    return out;
  }

  fs::path gameFile(const std::string& name) const { return install_ / "System" / "Zelkor" / name; }

  // A program laid out as the Debian package lays it out: alone in its folder, apart
  // from any game.
  fs::path packagedProgram() {
    const fs::path folder = work_ / "app";
    fs::create_directories(folder);
    fs::copy_file(bin() + "/tollwick", folder / "tollwick", fs::copy_options::overwrite_existing);
    return folder / "tollwick";
  }

  // The game's settings in the prefix, as its installer leaves them: WorkingDirectory
  // names `folder` (below the work folder) through the prefix's drive G:.
  void settingsNameFolder(const std::string& folder) {
    fs::create_directories(work_ / "wine" / "dosdevices");
    if (!fs::exists(fs::symlink_status(work_ / "wine" / "dosdevices" / "g:"))) {
      fs::create_directory_symlink(work_, work_ / "wine" / "dosdevices" / "g:");
    }
    std::ofstream(work_ / "wine" / "system.reg")
        << "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n"
           "[Software\\\\Varnholt\\\\Zelkor] 1796619687\n"
           "\"WorkingDirectory\"=\"G:\\\\"
        << folder << "\\\\\"\n";
  }

  // The names in the system's directory, hidden ones included, sorted.
  std::vector<std::string> systemDirectoryNames() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(install_ / "System" / "Zelkor")) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  static std::string gs(int32_t id) { return ansiToUtf8(gameString(id)); }
  static Box fixQuestion(int answer) { return {"Tollwick", "Fix Character File Now?", 4, answer}; }
  static Box done() { return {"Tollwick", "Done!", 0, 1}; }
  static Box loadFailed(int32_t id) { return {"Tollwick", gs(id) + "Zelkor\\!", 0, 1}; }
  static Box errorLoading() {
    return {gs(gs::kSystemLoadErrorCaption), "There was an error loading the Zelkor system", 64, 1};
  }
  static Box dataFilesFailed() {
    std::string prompt;
    for (int32_t id = gs::kDataFilesFailed1; id <= gs::kDataFilesFailed5; ++id) prompt += gs(id);
    return {gs(gs::kDataFilesFailedCaption), prompt, 48, 1};
  }

  testing::ScratchDirectory scratch_{"tollwick-e2e-"};
  fs::path work_ = scratch_.path();
  fs::path install_;
  std::vector<Box> boxes_;
  std::string output_;
  // Runs get the prefix work_/wine; false: WINEPREFIX unset, and a home without ~/.wine.
  bool ownPrefix_ = true;
};

const char* const kBloated =
    "--live 4 --leading-spaces 1 --dead-empty-slot 3 --dead-nul-name 2 --dead-spaces-name 2 "
    "--gap 1000 --size 1M";

TEST_F(TollwickEndToEndTest, NormalRepairCompactsTheCharacterFile) {
  makeInstall(kBloated);
  const std::string before = inspect("ZELKORCharacters.DED");
  ASSERT_THAT(before, HasSubstr("slots in use: 8\n"));
  ASSERT_THAT(before, HasSubstr("length: 1048576 bytes\n"));

  EXPECT_EQ(runTollwick("yes"), 0) << output_;
  EXPECT_THAT(boxes_, ElementsAre(fixQuestion(6), done()));

  const std::string after = inspect("ZELKORCharacters.DED");
  EXPECT_THAT(after, HasSubstr("length: " + std::to_string(4022 + 4 * 5785) + " bytes\n"));
  EXPECT_THAT(after, HasSubstr("count: 4\n"));
  EXPECT_THAT(after, HasSubstr("slots in use: 4\n"));
  EXPECT_THAT(after, HasSubstr("live records: 4\n"));
  EXPECT_THAT(after, HasSubstr("dead bytes: 0\n"));
  EXPECT_THAT(after, HasSubstr("slot 0 at 4023: live"));
  EXPECT_THAT(after, HasSubstr("slot 3 at 21378: live"));
  // The name that had leading spaces is left-aligned.
  EXPECT_THAT(after, HasSubstr("\"Aldric" + std::string(24, ' ') + "\""));
  EXPECT_THAT(after, HasSubstr("signature: the system signature"));
  EXPECT_FALSE(fs::exists(gameFile("ZELKORCharactersTemp.DED")));
}

TEST_F(TollwickEndToEndTest, AnsweringNoLeavesTheCharacterFileAsItWas) {
  makeInstall(kBloated);
  const std::string before = readAll(gameFile("ZELKORCharacters.DED"));
  EXPECT_EQ(runTollwick("no"), 0) << output_;
  EXPECT_THAT(boxes_, ElementsAre(fixQuestion(7), done()));
  EXPECT_EQ(readAll(gameFile("ZELKORCharacters.DED")), before);
}

TEST_F(TollwickEndToEndTest, MissingMasterHeaderIsToldAndTheRunGoesOn) {
  makeInstall("--omit ZelkorSystemMain.MSF");
  EXPECT_EQ(runTollwick("yes"), 0) << output_;
  EXPECT_THAT(boxes_,
              ElementsAre(Box{"Tollwick", "Zelkor has not been installed and run yet!", 48, 1},
                          fixQuestion(6), done()));
}

TEST_F(TollwickEndToEndTest, MissingSystemHeaderIsAFailedLoad) {
  makeInstall("--omit ZelkorSystemHeader.MSF");
  EXPECT_EQ(runTollwick("yes"), 2) << output_;
  EXPECT_THAT(boxes_, ElementsAre(Box{"Tollwick", gs(gs::kSystemHeaderNotLoaded), 0, 1},
                                  loadFailed(gs::kSystemLoadFailedOther), errorLoading()));
}

TEST_F(TollwickEndToEndTest, MissingSystemDataFileEndsTheProgramAtOnce) {
  makeInstall("--omit ZELKORSystemData.DED");
  EXPECT_EQ(runTollwick("yes"), 1) << output_;
  EXPECT_THAT(boxes_, ElementsAre(Box{gs(gs::kNotInstalledCaption),
                                      "You must install and run Zelkor before you can use this "
                                      "utility!",
                                      64, 1}));
}

TEST_F(TollwickEndToEndTest, DataFileOfAnotherSystemFailsTheLoadAndStaysUntouched) {
  makeInstall("--foreign-signature ZELKORMazeMonsters.DED --unsigned ZELKORDungeon.DED");
  const std::string foreign = readAll(gameFile("ZELKORMazeMonsters.DED"));
  const std::string later = readAll(gameFile("ZELKORDungeon.DED"));
  EXPECT_EQ(runTollwick("yes"), 2) << output_;
  EXPECT_THAT(boxes_, ElementsAre(dataFilesFailed(), loadFailed(gs::kSystemLoadFailedUnprotect),
                                  errorLoading()));
  EXPECT_EQ(readAll(gameFile("ZELKORMazeMonsters.DED")), foreign);
  EXPECT_EQ(readAll(gameFile("ZELKORDungeon.DED")), later);
  EXPECT_THAT(inspect("ZELKORMazeMonsters.DED"), HasSubstr("signature: a foreign signature"));
}

TEST_F(TollwickEndToEndTest, CharacterFileThatDoesNotUnprotectFailsTheLoadUnchanged) {
  makeInstall(std::string(kBloated) + " --damage ZELKORCharacters.DED");
  const std::string before = readAll(gameFile("ZELKORCharacters.DED"));
  EXPECT_EQ(runTollwick("yes"), 2) << output_;
  EXPECT_THAT(boxes_, ElementsAre(dataFilesFailed(), loadFailed(gs::kSystemLoadFailedUnprotect),
                                  errorLoading()));
  EXPECT_EQ(readAll(gameFile("ZELKORCharacters.DED")), before);
  EXPECT_THAT(inspect("ZELKORCharacters.DED"), HasSubstr("unprotects: no"));
}

// A file-size limit below the compacted file's size: the write fails as "Disk full"
// in the repair's report instead of killing the process, the character file stays as it
// was, nothing is left beside it, and the exit code tells a script that the repair failed.
TEST_F(TollwickEndToEndTest, AFileSizeLimitIsDiskFullWithNothingLeftBehind) {
  makeInstall(kBloated);
  const std::string before = readAll(gameFile("ZELKORCharacters.DED"));
  const std::vector<std::string> names = systemDirectoryNames();
  // 16 blocks: 8 or 16 KiB, whichever block the shell counts in; the compacted file
  // needs 27 KiB, the transcript far less.
  EXPECT_EQ(runTollwick("yes", "ulimit -f 16; "), 2) << output_;
  EXPECT_THAT(boxes_, ElementsAre(fixQuestion(6),
                                  Box{"Tollwick",
                                      "Error 'Disk full' occurred in (Tollwick)"
                                      "modSarnSystem:sysFixBloatedCharacterFile!",
                                      0, 1},
                                  done()));
  EXPECT_EQ(readAll(gameFile("ZELKORCharacters.DED")), before);
  EXPECT_EQ(systemDirectoryNames(), names);
}

// An installation in a folder named with a letter of Windows-1252 ("Zé") is found and
// repaired; under a name Windows-1252 cannot hold ("Zж") the program cannot name its
// own folder and finds no installation there.
TEST_F(TollwickEndToEndTest, AnInstallationUnderAWindows1252NameIsRepaired) {
  install_ = work_ / "Z\xC3\xA9";
  makeInstall(kBloated);
  EXPECT_EQ(runTollwick("yes"), 0) << output_;
  EXPECT_THAT(boxes_, ElementsAre(fixQuestion(6), done()));
  EXPECT_THAT(inspect("ZELKORCharacters.DED"), HasSubstr("dead bytes: 0\n"));

  const fs::path unnameable = work_ / "Z\xD0\xB6";
  fs::rename(install_, unnameable);
  install_ = unnameable;
  EXPECT_NE(runTollwick("yes"), 0) << output_;
  ASSERT_FALSE(boxes_.empty());
  EXPECT_EQ(boxes_.front(), (Box{"Tollwick", "Zelkor has not been installed and run yet!", 48, 1}));
  EXPECT_THAT(boxes_, ::testing::Not(::testing::Contains(fixQuestion(6))));
}

// FIFOs in place of the resource library, the registry file and a data file: each is an
// error of the operation that reads it, and the run ends instead of waiting for a writer.
TEST_F(TollwickEndToEndTest, AFifoInPlaceOfAFileIsAnErrorNotAHang) {
  makeInstall(kBloated);
  fs::remove(install_ / "Zelkor.dll");
  fs::remove(gameFile("ZELKORMazeItems.DED"));
  for (const fs::path& fifo :
       {install_ / "Zelkor.dll", work_ / "wine" / "system.reg", gameFile("ZELKORMazeItems.DED")}) {
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0) << fifo;
  }
  const std::string before = readAll(gameFile("ZELKORCharacters.DED"));
  const int code = runTollwick("yes", "timeout -s KILL 30 ");
  ASSERT_NE(code, 137) << "killed after 30 s: the program waited on a FIFO";
  EXPECT_EQ(code, 2) << output_;
  EXPECT_THAT(boxes_, ::testing::Not(::testing::Contains(fixQuestion(6))));
  EXPECT_EQ(readAll(gameFile("ZELKORCharacters.DED")), before);
}

// The game's folder given on the command line is the application directory: its
// libraries are loaded, not the ones beside the program (here a "security library"
// that cannot load at all), and a relative name is taken from the current directory.
// A folder that does not exist, or that holds neither of the game's libraries, is one
// box and exit 2, with nothing touched.
TEST_F(TollwickEndToEndTest, TheGameFolderOnTheCommandLineIsTheOneUsed) {
  makeInstall(kBloated);
  const fs::path program = packagedProgram();
  fs::copy_file(bin() + "/Zelkor.dll", program.parent_path() / "ZELKORSEC.so");
  EXPECT_EQ(runTollwick("yes", "cd " + quote(work_) + " && ", program, "install"), 0) << output_;
  EXPECT_THAT(boxes_, ElementsAre(fixQuestion(6), done()));
  EXPECT_THAT(inspect("ZELKORCharacters.DED"), HasSubstr("dead bytes: 0\n"));

  const auto before = filesUnder(install_);
  const std::string giveTheFolder =
      "Start Tollwick with the folder where Zelkor is installed, the one that holds the "
      "game's Zelkor.dll and ZELKORSEC.dll:\n\n    tollwick GAME_FOLDER";
  const fs::path missing = work_ / "missing";
  EXPECT_EQ(runTollwick("yes", "", program, quote(missing)), 2) << output_;
  EXPECT_THAT(boxes_, ElementsAre(Box{"Tollwick",
                                      "The folder \"" + missing.string() +
                                          "\" does not exist.\n\n" + giveTheFolder,
                                      48, 1}));
  const fs::path noGame = install_ / "System";
  EXPECT_EQ(runTollwick("yes", "", program, quote(noGame)), 2) << output_;
  EXPECT_THAT(boxes_, ElementsAre(Box{"Tollwick",
                                      "The folder \"" + noGame.string() +
                                          "\" holds neither Zelkor.dll nor ZELKORSEC.dll: Zelkor "
                                          "is not installed there.\n\n" +
                                          giveTheFolder,
                                      48, 1}));
  EXPECT_EQ(filesUnder(install_), before);
}

// Two installations, the settings naming A: the folder named on the command line, B, is
// the game of the whole run, from its libraries to its character file; A stays as it was.
TEST_F(TollwickEndToEndTest, TheNamedFolderIsRepairedWhateverTheSettingsName) {
  install_ = work_ / "A";
  makeInstall(kBloated);
  const auto a = filesUnder(install_);
  settingsNameFolder("A");
  install_ = work_ / "B";
  makeInstall(kBloated);
  EXPECT_EQ(runTollwick("yes", "", packagedProgram(), quote(install_)), 0) << output_;
  EXPECT_THAT(boxes_, ElementsAre(fixQuestion(6), done()));
  EXPECT_THAT(inspect("ZELKORCharacters.DED"), HasSubstr("dead bytes: 0\n"));
  EXPECT_EQ(filesUnder(work_ / "A"), a);
}

// A program apart from the game, started without an argument, finds the game through
// the settings in the Wine prefix (its folder on a drive of the prefix); with no
// settings it says that the game has not been installed and run, and ends.
TEST_F(TollwickEndToEndTest, ThePackagedProgramFindsTheGameThroughItsSettings) {
  makeInstall(kBloated);
  const fs::path program = packagedProgram();
  EXPECT_EQ(runTollwick("yes", "", program), 2) << output_;
  EXPECT_THAT(boxes_,
              ElementsAre(Box{"Tollwick", "Zelkor has not been installed and run yet!", 48, 1}));

  settingsNameFolder("install");
  EXPECT_EQ(runTollwick("yes", "", program), 0) << output_;
  EXPECT_THAT(boxes_, ElementsAre(fixQuestion(6), done()));
  EXPECT_THAT(inspect("ZELKORCharacters.DED"), HasSubstr("dead bytes: 0\n"));
}

// The game's own security library is a 32-bit Windows library (here the sample library
// built as one stands in for it). Only the Windows program reads it, through Wine; with
// no Wine on the PATH the player is told how to get it, and nothing is touched.
TEST_F(TollwickEndToEndTest, TheGamesWindowsLibraryWithoutWineIsOneBoxAndNothingChanges) {
  makeInstall(kBloated);
  fs::remove(install_ / "ZELKORSEC.so");
  fs::copy_file(TOLLWICK_BINARY_DIR "/sample/Zelkor32.dll", install_ / "ZELKORSEC.dll");
  const auto before = filesUnder(install_);
  fs::create_directories(work_ / "no-wine");
  EXPECT_EQ(runTollwick("yes", "", {}, "", "PATH=" + quote(work_ / "no-wine")), 2) << output_;
  EXPECT_THAT(boxes_, ElementsAre(Box{"Tollwick", wineNeededText(), 48, 1}));
  EXPECT_EQ(filesUnder(install_), before);
}

// The hand-off itself, with a stand-in for wine on the PATH that notes how it was
// started: the Windows program beside the packaged one gets the game's folder and the
// transcript as Wine's programs name them (through the prefix's drive Z:, the root),
// the answers unchanged, and its exit code is the run's. An exit code tollwick.exe never
// gives is Wine's own failure, told in a box.
TEST_F(TollwickEndToEndTest, TheRunIsHandedToTheWindowsProgramWithItsFolderAndSettings) {
  makeInstall(kBloated);
  fs::remove(install_ / "ZELKORSEC.so");
  fs::copy_file(TOLLWICK_BINARY_DIR "/sample/Zelkor32.dll", install_ / "ZELKORSEC.dll");
  const fs::path program = packagedProgram();
  std::ofstream(program.parent_path() / "tollwick.exe") << "MZ";
  fs::create_directories(work_ / "wine" / "dosdevices");
  fs::create_directory_symlink("/", work_ / "wine" / "dosdevices" / "z:");
  const fs::path fakeWine = work_ / "fake-wine";
  fs::create_directories(fakeWine);
  const fs::path noted = work_ / "wine-was-given.txt";
  // The transcript as the environment wine was started with holds it: every entry of
  // that name (a shell would keep only one of several).
  std::ofstream(fakeWine / "wine")
      << "#!/bin/sh\n{ printf '%s\\n' \"$@\" \"$TOLLWICK_ANSWERS\"; "
         "tr '\\0' '\\n' </proc/$$/environ | grep '^TOLLWICK_TRANSCRIPT='; } >"
      << quote(noted) << "\nexit ${FAKE_WINE_EXIT}\n";
  fs::permissions(fakeWine / "wine", fs::perms::owner_all);
  const auto before = filesUnder(install_);
  const std::string path = "PATH=" + quote(fakeWine.string() + ":/usr/bin:/bin");

  const auto windows = [](const fs::path& host) {
    std::string text = "Z:" + host.string();
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
  };
  EXPECT_EQ(runTollwick("yes,no", "", program, quote(install_), path + " FAKE_WINE_EXIT=2"), 2)
      << output_;
  EXPECT_THAT(boxes_, ElementsAre());
  EXPECT_EQ(readAll(noted), windows(fs::canonical(program.parent_path()) / "tollwick.exe") + "\n" +
                                windows(fs::canonical(install_)) +
                                "\nyes,no\nTOLLWICK_TRANSCRIPT=" +
                                windows(fs::canonical(work_) / "transcript.jsonl") + "\n");

  // A transcript named with a letter the code page lacks would reach tollwick.exe as
  // another name: refused before the hand-off, in a box written to it.
  const fs::path unholdable = work_ / "transcript-\xD0\xB6.jsonl";
  fs::remove(noted);
  EXPECT_EQ(runTollwick("yes", "", program, quote(install_),
                        path + " FAKE_WINE_EXIT=0 TOLLWICK_TRANSCRIPT=" + quote(unholdable)),
            2);
  EXPECT_FALSE(fs::exists(noted)) << "wine was started";
  EXPECT_THAT(readAll(unholdable), HasSubstr("has a name the Windows code page cannot hold"));

  // Wine's own failure: on a computer that runs no 32-bit programs the box says so.
  EXPECT_EQ(runTollwick("yes", "", program, quote(install_), path + " FAKE_WINE_EXIT=53"), 2);
  const std::string failed = platform::use<platform::Wine>().runs32BitPrograms()
                                 ? wineFailedText(53)
                                 : no32BitProgramsText();
  EXPECT_THAT(boxes_, ElementsAre(Box{"Tollwick", failed, 48, 1}));
  EXPECT_EQ(filesUnder(install_), before);
}

// A game inside a Wine prefix of its own (as a game launcher makes them), named with
// WINEPREFIX unset, is handed to Wine in that prefix, which reaches it through its drive
// C:. The prefix was set up by another Wine (its update marker is not the time stamp of
// this Wine's wine.inf), which Wine would update first: the player is asked, and No ends
// the run with Wine never started and every file of the prefix as it was. A game in no
// prefix is told which prefix was looked in and how to name one.
TEST_F(TollwickEndToEndTest, AGameInAnotherPrefixIsHandedToWineThereOnlyWithItsUpdateAllowed) {
  const fs::path prefix = work_ / "Games" / "zelkor";
  install_ = prefix / "drive_c" / "Zelkor";
  makeInstall(kBloated);
  fs::remove(install_ / "ZELKORSEC.so");
  fs::copy_file(TOLLWICK_BINARY_DIR "/sample/Zelkor32.dll", install_ / "ZELKORSEC.dll");
  std::ofstream(prefix / "system.reg") << "WINE REGISTRY Version 2\n";
  std::ofstream(prefix / ".update-timestamp") << "1234567890\n";
  fs::create_directories(prefix / "dosdevices");
  fs::create_directory_symlink("../drive_c", prefix / "dosdevices" / "c:");
  fs::create_directory_symlink("/", prefix / "dosdevices" / "z:");
  const fs::path program = packagedProgram();
  std::ofstream(program.parent_path() / "tollwick.exe") << "MZ";
  // A stand-in for wine with its data beside it, as Wine's packages lay it out.
  const fs::path fakeWine = work_ / "fake-wine";
  fs::create_directories(fakeWine / "bin");
  fs::create_directories(fakeWine / "share" / "wine");
  std::ofstream(fakeWine / "share" / "wine" / "wine.inf") << "[Version]\n";
  const fs::path noted = work_ / "wine-was-given.txt";
  std::ofstream(fakeWine / "bin" / "wine")
      << "#!/bin/sh\nprintf '%s\\n' \"$WINEPREFIX\" \"$@\" >" << quote(noted) << "\n";
  fs::permissions(fakeWine / "bin" / "wine", fs::perms::owner_all);
  const std::string path = "PATH=" + quote((fakeWine / "bin").string() + ":/usr/bin:/bin");
  ownPrefix_ = false;

  const auto before = filesUnder(prefix);
  EXPECT_EQ(runTollwick("no", "", program, quote(install_), path), 2) << output_;
  EXPECT_THAT(boxes_, ElementsAre(Box{"Tollwick", prefixUpdateQuestion(prefix.string()), 4, 7}));
  EXPECT_FALSE(fs::exists(noted));
  EXPECT_EQ(filesUnder(prefix), before);

  EXPECT_EQ(runTollwick("yes", "", program, quote(install_), path), 0) << output_;
  EXPECT_THAT(boxes_, ElementsAre(Box{"Tollwick", prefixUpdateQuestion(prefix.string()), 4, 6}));
  std::string windowsProgram =
      "Z:" + (fs::canonical(program.parent_path()) / "tollwick.exe").string();
  std::replace(windowsProgram.begin(), windowsProgram.end(), '/', '\\');
  EXPECT_EQ(readAll(noted), prefix.string() + "\n" + windowsProgram + "\nC:\\Zelkor\n");

  // Set up by this Wine: no question.
  struct stat inf {};
  ASSERT_EQ(::stat((fakeWine / "share" / "wine" / "wine.inf").c_str(), &inf), 0);
  std::ofstream(prefix / ".update-timestamp") << inf.st_mtime << "\n";
  EXPECT_EQ(runTollwick("no", "", program, quote(install_), path), 0) << output_;
  EXPECT_THAT(boxes_, ElementsAre());

  const fs::path outside = work_ / "Zelkor";
  fs::rename(install_, outside);
  EXPECT_EQ(runTollwick("no", "", program, quote(outside), path), 2) << output_;
  ASSERT_EQ(boxes_.size(), 1U);
  EXPECT_THAT(boxes_[0].prompt, HasSubstr("\"" + outside.string() +
                                          "\" lies in no Wine prefix (no folder above it holds "
                                          "system.reg and drive_c), and no drive of the Wine "
                                          "prefix \"~/.wine\" reaches it."));
  EXPECT_THAT(boxes_[0].prompt, HasSubstr("WINEPREFIX="));
}

// A transcript that cannot be written (a folder, a pipe nobody reads, a full device)
// ends the run at once on standard error with exit code 1: before any box, and before
// the loader re-signs a data file that carries signature 0.
TEST_F(TollwickEndToEndTest, AnUnwritableTranscriptEndsTheRunBeforeAnythingChanges) {
  makeInstall(std::string(kBloated) + " --unsigned ZELKORMazeItems.DED");
  const std::string items = readAll(gameFile("ZELKORMazeItems.DED"));
  const std::string characters = readAll(gameFile("ZELKORCharacters.DED"));
  fs::create_directory(work_ / "folder");
  ASSERT_EQ(::mkfifo((work_ / "fifo").c_str(), 0644), 0);
  for (const fs::path& transcript : {work_ / "folder", work_ / "fifo", fs::path("/dev/full")}) {
    SCOPED_TRACE(transcript.string());
    const std::string env =
        "env -u DISPLAY -u WAYLAND_DISPLAY -u TOLLWICK_DIALOG WINEPREFIX=" + quote(work_ / "wine") +
        " TOLLWICK_ANSWERS=yes TOLLWICK_TRANSCRIPT=" + quote(transcript) + " ";
    const int code =
        shell("timeout -s KILL 30 " + env + quote(install_ / "tollwick") + " </dev/null", &output_);
    EXPECT_EQ(code, 1) << output_;
    EXPECT_THAT(output_, HasSubstr("TOLLWICK_TRANSCRIPT"));
    EXPECT_EQ(readAll(gameFile("ZELKORMazeItems.DED")), items);
    EXPECT_EQ(readAll(gameFile("ZELKORCharacters.DED")), characters);
  }
}

// The shell words that limit a run's memory to 2 GB, where the build allows a limit
// (sanitizer builds reserve more address space than any limit allows: none there).
std::string memoryLimit() {
#if defined(__SANITIZE_ADDRESS__)
  return "";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  return "";
#else
  return "ulimit -v 2000000; ";
#endif
#else
  return "ulimit -v 2000000; ";
#endif
}

// A character file longer than the format can address (a sparse 3 GiB file) is refused
// before it is read, with the error such a file always got: under a 2 GB memory limit,
// which reading it whole would exceed.
TEST_F(TollwickEndToEndTest, AFileLongerThanTheFormatAddressesIsRefusedUnread) {
  makeInstall(kBloated);
  const fs::path characters = gameFile("ZELKORCharacters.DED");
  fs::resize_file(characters, uint64_t{3} << 30);
  EXPECT_EQ(runTollwick("yes", memoryLimit()), 2) << output_;
  EXPECT_THAT(boxes_, ElementsAre(Box{"Tollwick",
                                      "Error 'Overflow' occurred in "
                                      "(Tollwick)modZelkorSecurity:SarnDecryptFile!",
                                      0, 1},
                                  dataFilesFailed(), loadFailed(gs::kSystemLoadFailedUnprotect),
                                  errorLoading()));
  EXPECT_EQ(fs::file_size(characters), uint64_t{3} << 30);
}

// A run that waits at its question holds the game's folder; a second run on the same
// folder, named another way (a drive of the Wine prefix against the host path, with a
// private runtime folder against none), is refused with the single-copy box and
// changes nothing.
TEST_F(TollwickEndToEndTest, TwoSpellingsOfOneGameFolderMeetTheSameLock) {
  makeInstall(kBloated);
  fs::create_directories(work_ / "wine" / "dosdevices");
  fs::create_directory_symlink(work_, work_ / "wine" / "dosdevices" / "g:");
  const fs::path answers = work_ / "answers", firstOut = work_ / "first.txt",
                 firstCode = work_ / "first-code.txt";
  ASSERT_EQ(::mkfifo(answers.c_str(), 0600), 0);
  const std::string first =
      "(env -u DISPLAY -u WAYLAND_DISPLAY -u TOLLWICK_ANSWERS "
      "-u TOLLWICK_TRANSCRIPT -u XDG_RUNTIME_DIR TOLLWICK_DIALOG=terminal "
      "WINEPREFIX=" +
      quote(work_ / "wine") + " " + quote(install_ / "tollwick") + " " + quote(install_) + " <" +
      quote(answers) + " >" + quote(firstOut) + " 2>&1; echo $? >" + quote(firstCode) + ") &";
  ASSERT_EQ(std::system(first.c_str()), 0);
  // Opened once the first run reads its answers; no later run inherits it.
  const int answer = ::open(answers.c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(answer, 0);
  for (int waited = 0; waited < 300 && readAll(firstOut).find("Fix Character") == std::string::npos;
       ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_THAT(readAll(firstOut), HasSubstr("Fix Character File Now?"));
  const auto before = filesUnder(install_);

  fs::create_directories(work_ / "runtime");
  fs::permissions(work_ / "runtime", fs::perms::owner_all);
  EXPECT_EQ(runTollwick("yes", "", {}, quote("g:\\INSTALL\\"),
                        "XDG_RUNTIME_DIR=" + quote(work_ / "runtime")),
            1)
      << output_;
  EXPECT_THAT(boxes_, ElementsAre(Box{"Tollwick 1.01  ",
                                      "Sorry, only one instance of Tollwick can be run at a time.",
                                      48, 1}));
  EXPECT_TRUE(filesUnder(install_) == before) << "a game file changed";

  EXPECT_EQ(::write(answer, "n\n", 2), 2);
  ::close(answer);
  for (int waited = 0; waited < 300 && readAll(firstCode).empty(); ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(readAll(firstCode), "0\n") << readAll(firstOut);
}

// Anybody who may read the game's folder may lock it; such a lock (here another user's)
// stops no run of the player's.
TEST_F(TollwickEndToEndTest, AGameFolderLockedByAnotherUserStopsNoRun) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run a command as another user";
  makeInstall(kBloated);
  // The other user reaches the folder, and notes the process that holds the lock.
  fs::permissions(work_, fs::perms::others_all, fs::perm_options::add);
  const fs::path holder = work_ / "holder";
  const std::string hold = "setpriv --reuid=nobody --regid=nogroup --clear-groups flock -n " +
                           quote(install_) + " sh -c 'echo $$ >" + quote(holder) +
                           "; exec sleep 30' >/dev/null 2>&1 &";
  ASSERT_EQ(std::system(hold.c_str()), 0);
  for (int waited = 0; waited < 100 && readAll(holder).empty(); ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_FALSE(readAll(holder).empty()) << "the other user could not lock the folder";
  EXPECT_EQ(runTollwick("yes", "unset XDG_RUNTIME_DIR; "), 0) << output_;
  EXPECT_THAT(boxes_, ElementsAre(fixQuestion(6), done()));
  std::system(("kill " + readAll(holder)).c_str());
}

// The game's Windows security library is recognised by its headers alone: one of
// 64 GB (sparse), which reading whole would exhaust memory, is no 32-bit Windows library,
// so the run goes on without it and says so in its boxes, never in an abort.
TEST_F(TollwickEndToEndTest, AHugeWindowsSecurityLibraryIsABoxNotAnAbort) {
  makeInstall(kBloated);
  fs::remove(install_ / "ZELKORSEC.so");
  { std::ofstream(install_ / "ZELKORSEC.dll"); }
  fs::resize_file(install_ / "ZELKORSEC.dll", uint64_t{64} << 30);
  const auto before = readAll(gameFile("ZELKORCharacters.DED"));
  const int code = runTollwick("yes", memoryLimit() + "timeout -s KILL 60 ");
  EXPECT_NE(code, 134) << "aborted";
  EXPECT_NE(code, 137) << "killed after 60 s";
  EXPECT_EQ(code, 1) << output_;  // the master header cannot load without the library
  ASSERT_FALSE(boxes_.empty());
  EXPECT_EQ(boxes_.front(), (Box{"Tollwick",
                                 "Error 'File not found: ZELKORSEC.so' occurred in "
                                 "(Tollwick)modZelkorSecurity:SarnDecryptFile!",
                                 0, 1}));
  EXPECT_TRUE(readAll(gameFile("ZELKORCharacters.DED")) == before) << "the character file changed";
}

// C++'s own out of memory outside every routine's trap (here while the packaged program
// reads the game's settings from a registry file larger than the memory it may use) ends
// the run with one box of the common error report and exit code 1, never an abort.
TEST_F(TollwickEndToEndTest, OutOfMemoryOutsideEveryRoutineIsABoxNotAnAbort) {
  if (memoryLimit().empty()) GTEST_SKIP() << "a sanitizer build runs under no memory limit";
  const fs::path registry = work_ / "wine" / "system.reg";
  std::ofstream(registry) << "WINE REGISTRY Version 2\n";
  fs::resize_file(registry, uint64_t{200} << 20);  // sparse: 200 MB that cost no disk
  EXPECT_EQ(runTollwick("yes", "ulimit -v 150000; ", packagedProgram()), 1) << output_;
  EXPECT_THAT(boxes_,
              ElementsAre(Box{"Tollwick",
                              "Error 'Out of memory' occurred in (Tollwick)modMain:Main!", 0, 1}));
}

// A localised game (zelkor-kit --language) in a folder named in its language is found
// and repaired under the player's locale, whose code page holds the folder's letters
// (Shift-JIS "表" ends in the byte of a backslash, which the program must not take for
// one); under a Western locale (1252) the program cannot name the folder, as Windows'
// programs cannot there, and nothing is touched.
TEST_F(TollwickEndToEndTest, ALocalisedGameIsRepairedInItsCodePageAndNotFoundInAWesternOne) {
  struct Case {
    const char* folder;
    const char* language;
    const char* locale;
  };
  for (const Case& c :
       {Case{"\xD0\x98\xD0\xB3\xD1\x80\xD1\x8B/Zelkor", "ru", "ru_RU.UTF-8"},
        Case{"\xC5\x81\xC3\xB3\x64\xC5\xBA/Zelkor", "pl", "pl_PL.UTF-8"},
        Case{"\xE3\x82\xBC\xE3\x83\xAB\xE3\x82\xB3\xE8\xA1\xA8", "ja", "ja_JP.UTF-8"}}) {
    SCOPED_TRACE(c.language);
    install_ = work_ / c.language / c.folder;
    makeInstall(kBloated + std::string(" --language ") + c.language);
    const auto before = filesUnder(install_);
    EXPECT_EQ(runTollwick("yes", "", {}, "", "LANG=en_US.UTF-8"), 2) << output_;
    EXPECT_THAT(boxes_,
                ElementsAre(Box{"Tollwick", "Zelkor has not been installed and run yet!", 48, 1}));
    EXPECT_EQ(filesUnder(install_), before);

    EXPECT_EQ(runTollwick("yes", "", {}, "", std::string("LANG=") + c.locale), 0) << output_;
    EXPECT_THAT(boxes_, ElementsAre(fixQuestion(6), done()));
    EXPECT_THAT(inspect("ZELKORCharacters.DED", std::string("LANG=") + c.locale),
                HasSubstr("dead bytes: 0\n"));
  }
}

// The Russian game's own boxes come out in Russian: the wipe request's question, from
// its Russian Zelkor.dll, reaches the transcript in UTF-8, and the run repairs.
TEST_F(TollwickEndToEndTest, ARussianGameAsksInRussianAndIsRepaired) {
  install_ = work_ / "\xD0\x98\xD0\xB3\xD1\x80\xD1\x8B" / "Zelkor";
  makeInstall(kBloated + std::string(" --language ru"));
  std::ofstream(install_ / "System" / "ZelkorWipe.flg") << "";
  std::ofstream(install_ / "System" / "old.tmp") << "";
  std::ofstream(work_ / "wine" / "system.reg")
      << "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n"
         "[Software\\\\Varnholt\\\\Zelkor] 1796619687\n"
         "\"WipeSystem\"=\"T\"\n";
  EXPECT_EQ(runTollwick("yes,yes", "", {}, "", "LANG=ru_RU.UTF-8"), 0) << output_;
  EXPECT_THAT(
      boxes_,
      ElementsAre(Box{"Очистка системы Zelkor",
                      "Zelkor просит стереть его системные файлы. Стереть их сейчас?", 4, 6},
                  fixQuestion(6), done()));
  EXPECT_FALSE(fs::exists(install_ / "System" / "old.tmp"));
  EXPECT_THAT(inspect("ZELKORCharacters.DED", "LANG=ru_RU.UTF-8"), HasSubstr("dead bytes: 0\n"));
}

// The same Russian game under a Western locale: its strings have letters code page 1252
// lacks, which come out as '?' as they would on a Western Windows, and its key text
// (the system's texts, written in 1251) reads as other characters there, so its files
// do not unprotect: the load fails and nothing changes.
TEST_F(TollwickEndToEndTest, ARussianGameUnderAWesternLocaleShowsQuestionMarksAndChangesNothing) {
  makeInstall(kBloated + std::string(" --language ru"));
  const auto before = filesUnder(install_);
  EXPECT_EQ(runTollwick("yes", "", {}, "", "LANG=en_US.UTF-8"), 2) << output_;
  ASSERT_THAT(boxes_, ::testing::SizeIs(3));
  EXPECT_EQ(boxes_[0].caption, "????? ?????? Zelkor");
  EXPECT_EQ(boxes_[2].caption, "???????? ??????? Zelkor");
  EXPECT_EQ(filesUnder(install_), before);
}

}  // namespace
}  // namespace tollwick
